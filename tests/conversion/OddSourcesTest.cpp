// Files made like the ones found in real libraries, which other programs
// wrote: empty blocks of reserved types, quad and 7.1, 5.0 and 6.1, a cover
// no reader here opens, a stream that starts at a frame, Ogg FLAC. Each
// converts to what it holds, or is refused with its reason; none is changed.
#include "conversion/ExternalTools.h"
#include "conversion/FlacTagReader.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QStandardPaths>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {
QString music() {
    return TestEnvironment::home() + "/Music";
}

QString outputOf(const QString& source, const QString& extension) {
    return QFileInfo(source).path() + "/" + QFileInfo(source).completeBaseName() + "." + extension;
}

// Runs a pass over the sources with that codec; the queue keeps every file.
void convert(TestDatabase& context, const QStringList& sources, const QString& codec) {
    TestEnvironment::defaults().setString(codec, "ConversionCodec");
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    for (const QString& path : sources) {
        context.queue().ajouterUnFichier(path);
    }
    context.queue().raffraichirDestinationDesFichiers();
    context.queue().reinitialiserEtatFichiers();
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
}

FichierAudioPtr recordOf(TestDatabase& context, const QString& source) {
    for (const FichierAudioPtr& file : context.queue().fichiersAudio()) {
        if (file->elementURL()->path() == source) {
            return file;
        }
    }
    return nullptr;
}

QString sha1(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

QStringList strings(const QJsonValue& value) {
    QStringList list;
    for (const QJsonValue& item : value.toArray()) {
        list << item.toString();
    }
    return list;
}

// Which channel of a 16-bit WAV file sounds loudest in each slot.
QList<int> loudestChannelPerSlot(const QString& wavPath, double slotSeconds, int slotCount) {
    QFile file(wavPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray wav = file.readAll();
    int channels = 0;
    int rate = 0;
    QByteArray data;
    for (qsizetype at = 12; at + 8 <= wav.size();) {
        const QByteArray id = wav.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(wav.constData() + at + 4);
        if (id == "fmt ") {
            channels = qFromLittleEndian<quint16>(wav.constData() + at + 10);
            rate = int(qFromLittleEndian<quint32>(wav.constData() + at + 12));
        } else if (id == "data") {
            data = wav.mid(at + 8, size);
            break;
        }
        at += 8 + size + (size & 1);
    }
    QList<int> loudest;
    const qint64 frames = channels > 0 ? data.size() / (2 * channels) : 0;
    for (int slot = 0; slot < slotCount; ++slot) {
        QList<double> energy(channels, 0.0);
        const qint64 from = qint64((slot + 0.25) * slotSeconds * rate);
        const qint64 to = std::min(frames, qint64((slot + 0.75) * slotSeconds * rate));
        for (qint64 frame = from; frame < to; ++frame) {
            for (int channel = 0; channel < channels; ++channel) {
                const qint16 sample =
                    qFromLittleEndian<qint16>(data.constData() + 2 * (frame * channels + channel));
                energy[channel] += double(sample) * sample;
            }
        }
        loudest << int(std::max_element(energy.cbegin(), energy.cend()) - energy.cbegin());
    }
    return loudest;
}

QString slotSource(const QString& name, int channels, double slotSeconds) {
    FlacFactory::Options options;
    options.channels = channels;
    options.sampleRate = 48000;
    options.pcm = FlacFactory::channelSlots(options, slotSeconds);
    return FlacFactory::make(music() + "/" + name + ".flac", options);
}
} // namespace

TEST(OddSources, AnEmptyBlockOfAReservedTypeLosesNoComment) {
    const QString cover = FlacFactory::makePicture(TestEnvironment::home() + "/art/c.jpg", "jpg");
    QStringList sources;
    for (const int type : {7, 126}) {
        FlacFactory::Options options;
        options.tags = FlacFactory::libraryTags();
        options.picturePath = cover;
        const QString path =
            FlacFactory::make(music() + QString("/Reserved/%1.flac").arg(type), options);
        FlacFactory::insertEmptyBlock(path, type);
        ASSERT_EQ(FlacFactory::run("flac", {"-s", "-t", path}), 0) << "flac itself reads it";
        const TagList read = FlacTagReader::readComments(path, ExternalTools::found().metaflac);
        EXPECT_EQ(read.size(), FlacFactory::libraryTags().size()) << type;
        EXPECT_EQ(read.values("lyrics"), QStringList{FlacFactory::kLibraryLyrics})
            << "a value's line breaks are kept";
        sources << path;
    }
    for (const QString codec : {"mp3", "opus", "m4a"}) {
        TestDatabase context(codec + ".db");
        convert(context, sources, codec);
        for (const QString& source : sources) {
            const FichierAudioPtr file = recordOf(context, source);
            ASSERT_TRUE(file);
            EXPECT_EQ(file->statusConversion(), kStatusConvFiniOk) << codec.toStdString();
            EXPECT_EQ(file->sourceTags().values("REPLAYGAIN_TRACK_GAIN"), QStringList{"-6.50 dB"});
            const QJsonObject read = OutputReader::read(outputOf(source, codec));
            const QJsonObject raw = read.value("raw").toObject();
            if (codec == "opus") {
                // Opus keeps the gain in its header, towards −23 LUFS.
                EXPECT_EQ(read.value("output_gain").toInt(), -(6 * 256 + 128) - 5 * 256);
                EXPECT_EQ(strings(raw.value("R128_TRACK_GAIN")), QStringList{"0"});
            } else {
                const QString key = codec == "mp3" ? "TXXX:REPLAYGAIN_TRACK_GAIN"
                                                   : "----:com.apple.iTunes:REPLAYGAIN_TRACK_GAIN";
                EXPECT_EQ(strings(raw.value(key)), QStringList{"-6.50 dB"})
                    << codec.toStdString() << ": " << source.toStdString();
            }
            EXPECT_EQ(read.value("cover").toObject().value("sha1").toString(),
                      OutputReader::fileSha1(cover))
                << "the picture is read too";
        }
    }
}

TEST(OddSources, ALosslessOutputNeverRemixesItsChannels) {
    TestDatabase context;
    QMap<int, QString> sources;
    for (const int channels : {4, 5, 6, 7, 8}) {
        sources.insert(channels, slotSource(QString("Alac %1").arg(channels), channels, 0.2));
    }
    convert(context, sources.values(), "alac");
    for (auto it = sources.cbegin(); it != sources.cend(); ++it) {
        const FichierAudioPtr file = recordOf(context, it.value());
        const std::string what = std::to_string(it.key()) + " channels";
        const QString output = outputOf(it.value(), "m4a");
        if (it.key() == 5 || it.key() == 6) {
            // ALAC's own 5.0 and 5.1 are FLAC's: every channel where it was.
            ASSERT_EQ(file->statusConversion(), kStatusConvFiniOk) << what;
            QByteArray pcm;
            FlacFactory::run("ffmpeg", {"-v", "error", "-i", output, "-f", "s16be", "-"}, &pcm);
            EXPECT_EQ(sha1(pcm), OutputReader::flacPcmSha1(it.value())) << what;
            continue;
        }
        // Quad, 6.1 and 7.1 have no ALAC layout that keeps them.
        EXPECT_EQ(file->statusConversion(), kStatusConvFiniErreur) << what;
        EXPECT_TRUE(file->failureReason().contains(
            QString("ne peut pas garder les %1 canaux de la source").arg(it.key())))
            << file->failureReason().toStdString();
        EXPECT_FALSE(QFile::exists(output)) << what;
    }
    EXPECT_TRUE(TestEnvironment::leftovers(music()).isEmpty());
}

TEST(OddSources, OpusPutsEveryChannelOnItsOwnSpeaker) {
    const QString opusdec = QStandardPaths::findExecutable("opusdec");
    if (opusdec.isEmpty()) {
        GTEST_SKIP() << "opusdec (opus-tools) is the independent decoder";
    }
    constexpr double kSlot = 0.3;
    TestDatabase context;
    QMap<int, QString> sources;
    for (const int channels : {3, 4, 5, 6, 7, 8}) {
        sources.insert(channels, slotSource(QString("Opus %1").arg(channels), channels, kSlot));
    }
    convert(context, sources.values(), "opus");
    for (auto it = sources.cbegin(); it != sources.cend(); ++it) {
        const QString decoded = TestEnvironment::root() + QString("/opus-%1.wav").arg(it.key());
        ASSERT_EQ(FlacFactory::run(opusdec, {"--quiet", "--rate", "48000",
                                             outputOf(it.value(), "opus"), decoded}),
                  0);
        // opusdec writes WAV's order, which for these counts is FLAC's.
        QList<int> expected;
        for (int channel = 0; channel < it.key(); ++channel) {
            expected << channel;
        }
        EXPECT_EQ(loudestChannelPerSlot(decoded, kSlot, it.key()), expected)
            << it.key() << " channels";
    }
}

TEST(OddSources, ACoverNoReaderHereOpensGoesIntoOggAsItIs) {
    // An AVIF picture: its box header, and bytes no image reader here decodes.
    const QByteArray avif = QByteArray::fromHex("0000001c667479706176696600000000") +
                            "avifmif1miaf" + QByteArray(2048, '\x5a');
    const QString picture =
        TestEnvironment::writeFile(TestEnvironment::home() + "/art/c.avif", avif);
    FlacFactory::Options options;
    options.tags = FlacFactory::fullTags("Avif");
    options.picturePath = "3|image/avif||64x64x24|" + picture;
    const QString source = FlacFactory::make(music() + "/Avif/Track.flac", options);
    for (const QString codec : {"opus", "ogg", "m4a"}) {
        TestDatabase context(codec + ".db");
        convert(context, {source}, codec);
        const QJsonObject cover =
            OutputReader::read(outputOf(source, codec)).value("cover").toObject();
        if (codec == "m4a") {
            EXPECT_TRUE(cover.isEmpty()) << "MP4 takes JPEG and PNG only";
            EXPECT_TRUE(
                context.messages.contains("Image Track.flac illisible : pochette non copiée"))
                << context.messages.join("\n").toStdString();
            continue;
        }
        EXPECT_EQ(cover.value("sha1").toString(), sha1(avif)) << codec.toStdString();
        EXPECT_EQ(cover.value("mime").toString(), "image/avif");
        EXPECT_EQ(cover.value("type").toInt(), 3);
    }
}

TEST(OddSources, AStreamThatStartsAtAFrameAndOggFlacConvert) {
    FlacFactory::Options options;
    options.seconds = 2.0;
    options.tags = FlacFactory::fullTags("Frames");
    const QString frames = FlacFactory::make(music() + "/Frames.flac", options);
    FlacFactory::keepOnlyFrames(frames);
    options.ogg = true;
    options.tags = FlacFactory::fullTags("Ogg Title");
    const QString ogg = FlacFactory::make(music() + "/Ogg.flac", options);
    const QString before = OutputReader::fileSha1(frames);

    TestDatabase context;
    QElapsedTimer timer;
    timer.start();
    convert(context, {frames, ogg}, "mp3");
    // flac loops writing AIFF when it cannot know the length: never 30 s here.
    EXPECT_LT(timer.elapsed(), 20000);
    for (const QString& source : {frames, ogg}) {
        const FichierAudioPtr file = recordOf(context, source);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->statusConversion(), kStatusConvFiniOk)
            << source.toStdString() << ": " << file->failureReason().toStdString();
        EXPECT_NEAR(OutputReader::read(outputOf(source, "mp3")).value("length").toDouble(), 2.0,
                    0.1);
    }
    EXPECT_EQ(OutputReader::read(outputOf(ogg, "mp3")).value("tags").toObject().value("title"),
              "Ogg Title")
        << "Ogg FLAC's comments, which metaflac does not read";
    EXPECT_EQ(recordOf(context, ogg)->inMetadataDict()->value("sample-rate").toString(), "44100");
    EXPECT_EQ(OutputReader::fileSha1(frames), before);
}
