// What the export writes for the sources people really have: every bit
// depth, several channels, low sample rates, and covers of every kind.
#include "conversion/ConversionControleur.h"
#include "conversion/ExportSession.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {
QString music() {
    return TestEnvironment::home() + "/Music";
}

QString convertedPath(const QString& source, const QString& codec) {
    return QFileInfo(source).path() + "/" + QFileInfo(source).completeBaseName() + "." + codec;
}

// Converts the sources, with what is queued already, with the codec; answers
// whether every file converted.
bool convert(TestDatabase& context, const QStringList& sources, const QString& codec) {
    TestEnvironment::defaults().setString(codec, "ConversionCodec");
    context.queue().raffraichirDestinationDesFichiers();
    context.queue().reinitialiserEtatFichiers();
    for (const QString& path : sources) {
        context.queue().ajouterUnFichier(path);
    }
    PassRunner pass(context.controleur());
    if (!pass.runPass() || context.controleur()->passFailed() != 0) {
        return false;
    }
    for (const FichierAudioPtr& file : context.queue().fichiersAudio()) {
        if (file->statusConversion() != kStatusConvFiniOk) {
            return false;
        }
    }
    return true;
}

QJsonObject probeStream(const QString& path) {
    QByteArray output;
    FlacFactory::run("ffprobe",
                     {"-v", "error", "-select_streams", "a:0", "-show_entries",
                      "stream=channels,channel_layout", "-of", "json", path},
                     &output);
    return QJsonDocument::fromJson(output).object().value("streams").toArray().at(0).toObject();
}

// The loudness of each channel in each slot of the output, as FFmpeg's own
// command line decodes it (the middle of each slot, away from codec delays).
QList<QList<double>> slotLevels(const QString& path, int slotCount, double slotSeconds) {
    const int channels = probeStream(path).value("channels").toInt();
    QByteArray pcm;
    FlacFactory::run("ffmpeg", {"-v", "error", "-i", path, "-f", "f32le", "-ar", "44100", "-"},
                     &pcm);
    const qint64 frames = pcm.size() / (4 * channels);
    QList<QList<double>> levels(channels, QList<double>(slotCount, 0.0));
    for (int slot = 0; slot < slotCount; ++slot) {
        const qint64 from = qint64((slot + 0.25) * slotSeconds * 44100);
        const qint64 to = std::min(frames, qint64((slot + 0.75) * slotSeconds * 44100));
        for (int channel = 0; channel < channels; ++channel) {
            double sum = 0;
            for (qint64 frame = from; frame < to; ++frame) {
                float sample = 0;
                std::memcpy(&sample, pcm.constData() + 4 * (frame * channels + channel), 4);
                sum += double(sample) * sample;
            }
            levels[channel][slot] = to > from ? std::sqrt(sum / double(to - from)) : 0.0;
        }
    }
    return levels;
}

QString slotSource(const QString& name, int channels) {
    FlacFactory::Options options;
    options.channels = channels;
    options.pcm = FlacFactory::channelSlots(options, 0.3);
    return FlacFactory::make(music() + "/" + name + ".flac", options);
}

// The samples of the FLAC as flac itself writes them into AIFF.
QString flacAiffSamples(const QString& source) {
    const QString reference = TestEnvironment::root() + "/reference.aif";
    FlacFactory::run("flac", {"-s", "-f", "-d", "-o", reference, source});
    return OutputReader::read(reference).value("pcm_sha1").toString();
}
} // namespace

TEST(ExportFormats, EveryBitDepthConvertsSampleIdenticallyToEveryPcmContainer) {
    for (const int bits : {8, 12, 16, 20, 24, 32}) {
        FlacFactory::Options options;
        options.bitsPerSample = bits;
        options.seconds = 0.2;
        const QString path =
            FlacFactory::make(QString("%1/Depth %2.flac").arg(music()).arg(bits), options);
        const QString expected = flacAiffSamples(path);
        for (const QString codec : {"aif", "aifc", "wav", "caf"}) {
            TestDatabase context;
            ASSERT_TRUE(convert(context, {path}, codec)) << codec.toStdString() << " " << bits;
            const QJsonObject read = OutputReader::read(convertedPath(path, codec));
            EXPECT_EQ(read.value("pcm_sha1").toString(), expected)
                << codec.toStdString() << " at " << bits << " bits";
            if (codec.startsWith("aif")) {
                EXPECT_EQ(read.value("bits").toInt(), bits) << "AIFF states the depth itself";
            }
        }
    }
}

TEST(ExportFormats, EveryChannelReachesTheOutputInItsPlace) {
    TestDatabase context;
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    const QString three = slotSource("Three", 3);
    const QString four = slotSource("Four", 4);
    const QString six = slotSource("Six", 6);

    ASSERT_TRUE(convert(context, {three, six}, "m4a"));
    EXPECT_EQ(probeStream(convertedPath(three, "m4a")).value("channel_layout").toString(), "3.0")
        << "left, right, centre: no LFE";
    context.queue().supprimerLesFichiersDansLindex({0}, false);
    ASSERT_TRUE(convert(context, {}, "wav"));
    EXPECT_EQ(probeStream(convertedPath(six, "wav")).value("channel_layout").toString(), "5.1");
    for (const auto& [path, codec, channels] :
         {std::tuple{three, "m4a", 3}, std::tuple{six, "m4a", 6}, std::tuple{six, "wav", 6}}) {
        const auto levels = slotLevels(convertedPath(path, codec), channels, 0.3);
        ASSERT_EQ(levels.size(), channels) << codec;
        for (int channel = 0; channel < channels; ++channel) {
            for (int slot = 0; slot < channels; ++slot) {
                if (slot == channel) {
                    EXPECT_GT(levels[channel][slot], 0.1) << codec << " channel " << channel;
                } else {
                    EXPECT_LT(levels[channel][slot], 0.02)
                        << codec << " channel " << channel << " slot " << slot;
                }
            }
        }
    }

    // A downmix to MP3's two channels keeps every channel in the mix.
    ASSERT_TRUE(convert(context, {three, four}, "mp3"));
    for (const auto& [path, channels] :
         {std::pair{three, 3}, std::pair{four, 4}, std::pair{six, 6}}) {
        const auto levels = slotLevels(convertedPath(path, "mp3"), channels, 0.3);
        ASSERT_EQ(levels.size(), 2);
        for (int slot = 0; slot < channels; ++slot) {
            EXPECT_GT(std::max(levels[0][slot], levels[1][slot]), 0.05)
                << channels << " channels: channel " << slot << " is lost";
        }
    }
}

TEST(ExportFormats, Mp3AtLowRatesKeepsItsDurationWithinTheEncodersPadding) {
    auto& defaults = TestEnvironment::defaults();
    FlacFactory::Options options;
    options.seconds = 5.0;
    const QString path = FlacFactory::make(music() + "/Long.flac", options);
    for (const int rate : {8000, 11025, 12000}) {
        TestDatabase context;
        defaults.setInteger(rate, "ConversionFrequence");
        ASSERT_TRUE(convert(context, {path}, "mp3")) << rate << " Hz";
        EXPECT_EQ(OutputReader::read(music() + "/Long.mp3").value("sample_rate").toInt(), rate);
        QFile::remove(music() + "/Long.mp3");
    }
    // The allowance is for padding only: a short or truncated output fails.
    EXPECT_TRUE(ExportSession::durationMatches(5.0, 5.12, 0.21));
    EXPECT_FALSE(ExportSession::durationMatches(5.0, 4.5, 0.21));
    EXPECT_FALSE(ExportSession::durationMatches(5.0, 5.6, 0.21));
    EXPECT_FALSE(ExportSession::durationMatches(5.0, -1.0, 0.21));
}

TEST(ExportFormats, CoversAreFrontCoversAndUnreadableOnesAreSaid) {
    TestDatabase context;
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    FlacFactory::Options options;
    options.seconds = 0.3;
    options.picturePath = FlacFactory::makePicture(music() + "/art/front.jpg", "jpg");
    const QString pictured = FlacFactory::make(music() + "/Pictured.flac", options);
    for (const QString codec : {"mp3", "aif", "aifc"}) {
        ASSERT_TRUE(convert(context, {pictured}, codec));
        EXPECT_EQ(OutputReader::read(convertedPath(pictured, codec))
                      .value("cover")
                      .toObject()
                      .value("type")
                      .toInt(),
                  3)
            << codec.toStdString() << ": the front cover, where players look";
        context.queue().supprimerLesFichiersDansLindex({0}, false);
    }

    // A picture block in a format nothing here reads: the file converts, the
    // automatic choice takes the image beside the file, and without one the
    // message line says the cover was not carried.
    const QString blob =
        TestEnvironment::writeFile(music() + "/blob.avif", QByteArray(300, '\x5a'));
    options.picturePath = "3|image/avif||64x64x24|" + blob;
    const QString alone = FlacFactory::make(music() + "/Alone/Avif.flac", options);
    const QString beside = FlacFactory::make(music() + "/Beside/Avif.flac", options);
    const QString cover = FlacFactory::makePicture(music() + "/Beside/cover.jpg", "jpg", 0x2040c0);
    context.messages.clear();
    ASSERT_TRUE(convert(context, {alone}, "m4a"));
    EXPECT_TRUE(OutputReader::read(convertedPath(alone, "m4a")).value("cover").isNull());
    EXPECT_TRUE(context.messages.contains("Image Avif.flac illisible : pochette non copiée"))
        << context.messages.join(" | ").toStdString();
    context.queue().supprimerLesFichiersDansLindex({0}, false);
    context.queue().ajouterUnDossier(music() + "/Beside");
    context.messages.clear();
    ASSERT_TRUE(convert(context, {}, "m4a"));
    EXPECT_EQ(OutputReader::read(convertedPath(beside, "m4a"))
                  .value("cover")
                  .toObject()
                  .value("sha1")
                  .toString(),
              OutputReader::fileSha1(cover));
}

TEST(ExportFormats, AFailedExportSaysWhyInFrench) {
    ExportRequest request;
    request.inputPath = TestEnvironment::home() + "/missing.aif";
    request.destinationPath = TestEnvironment::home() + "/out.m4a";
    request.codec = "m4a";
    ExportSession session(request);
    session.exportSynchronously();
    EXPECT_EQ(session.status(), ExportSession::Status::Failed);
    EXPECT_TRUE(session.errorText().startsWith("ouverture du fichier décodé : "))
        << session.errorText().toStdString();
}

struct SourceCase {
    const char* name;
    int bits;
    int rate;
    int channels;
};

TEST(ExportFormats, AppleLosslessOpusAndVorbisCarryTheMusicTagsAndCover) {
    const SourceCase cases[] = {{"CD", 16, 44100, 2},
                                {"HiRes", 24, 96000, 2},
                                {"Mono", 16, 44100, 1},
                                {"Surround", 16, 48000, 6}};
    const QString cover = FlacFactory::makePicture(music() + "/art/cover.png", "png", 0x3060a0);
    QStringList sources;
    for (const SourceCase& source : cases) {
        FlacFactory::Options options;
        options.seconds = 1.0;
        options.bitsPerSample = source.bits;
        options.sampleRate = source.rate;
        options.channels = source.channels;
        options.noise = 0.02;
        options.tags = FlacFactory::fullTags(source.name);
        options.picturePath = cover;
        sources << FlacFactory::make(QString("%1/New/%2.flac").arg(music(), source.name), options);
    }
    const struct {
        const char* codec;
        const char* extension;
        const char* container;
        const char* audio;
    } outputs[] = {{"alac", "m4a", "MP4:M4A", "alac"},
                   {"opus", "opus", "OGG", "opus"},
                   {"ogg", "ogg", "OGG", "vorbis"}};
    for (const auto& output : outputs) {
        TestDatabase context;
        ASSERT_TRUE(convert(context, sources, output.codec)) << output.codec;
        for (int index = 0; index < 4; ++index) {
            const SourceCase& source = cases[index];
            const QString path = convertedPath(sources[index], output.extension);
            const QJsonObject read = OutputReader::read(path);
            const std::string what = std::string(output.codec) + " from " + source.name;
            EXPECT_EQ(read.value("container").toString(), output.container) << what;
            EXPECT_EQ(read.value("codec").toString(), output.audio) << what;
            EXPECT_EQ(read.value("channels").toInt(), source.channels) << what;
            EXPECT_EQ(read.value("sample_rate").toInt(),
                      QString(output.codec) == "opus" ? 48000 : source.rate)
                << what << ": Opus is always 48 kHz";
            EXPECT_NEAR(read.value("length").toDouble(), 1.0, 0.1) << what;
            const QJsonObject tags = read.value("tags").toObject();
            EXPECT_EQ(tags.value("title").toString(), source.name) << what;
            EXPECT_EQ(tags.value("artist").toString(), "The Artist") << what;
            EXPECT_EQ(tags.value("track").toString(), "3") << what;
            EXPECT_EQ(tags.value("disc").toString(), "1") << what;
            const QJsonObject picture = read.value("cover").toObject();
            EXPECT_EQ(picture.value("type").toInt(), 3) << what << ": the front cover";
            EXPECT_EQ(picture.value("sha1").toString(), OutputReader::fileSha1(cover)) << what;
            if (QString(output.codec) == "alac") {
                EXPECT_EQ(read.value("bits").toInt(), source.bits) << what;
                QByteArray pcm;
                const QString format = source.bits == 16 ? "s16be" : "s24be";
                FlacFactory::run(
                    "ffmpeg",
                    {"-v", "error", "-i", path, "-f", format, "-c:a", "pcm_" + format, "-"}, &pcm);
                EXPECT_EQ(QString(QCryptographicHash::hash(pcm, QCryptographicHash::Sha1).toHex()),
                          OutputReader::flacPcmSha1(sources[index]))
                    << what << ": the samples flac decodes";
            }
        }
    }

    // Opus says it resamples only when the user chose another rate.
    TestDatabase context;
    TestEnvironment::defaults().setBool(true, "DestinationEcraserExistant");
    TestEnvironment::defaults().setInteger(44100, "ConversionFrequence");
    ASSERT_TRUE(convert(context, {sources[0]}, "opus"));
    EXPECT_TRUE(context.messages.contains(
        "Fréquence de 44100 Hz impossible en opus : conversion à 48000 Hz"));

    // ALAC keeps 24 bits: a 32-bit source fails rather than lose the rest.
    FlacFactory::Options deep;
    deep.bitsPerSample = 32;
    deep.seconds = 0.2;
    const QString thirtyTwo = FlacFactory::make(music() + "/New/Deep.flac", deep);
    TestDatabase deepContext;
    EXPECT_FALSE(convert(deepContext, {thirtyTwo}, "alac"));
    EXPECT_TRUE(deepContext.queue().fichiersAudio().first()->failureReason().contains(
        "ALAC ne garde pas plus de 24 bits"));
    EXPECT_FALSE(QFile::exists(convertedPath(thirtyTwo, "m4a")));
}
