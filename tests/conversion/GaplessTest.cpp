#include "model/OutputCodec.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/IndependentDecoders.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cmath>

namespace {
// How long the same source lasts in GStreamer as Ogg Vorbis written by
// libvorbis through sox, whose end granule FFmpeg must read to the sample.
qint64 referenceVorbisInGstreamer(const QString& source, qint64 length) {
    const QString reference = source + QStringLiteral(".reference.ogg");
    EXPECT_EQ(FlacFactory::run("sox", {source, reference}), 0);
    EXPECT_EQ(IndependentDecoders::ffmpeg(reference).size(), length) << "the reference itself";
    return IndependentDecoders::gstreamer(reference).size();
}

// Whether an MP3's Info frame carries LAME's signature with a right CRC-16
// (ARC) over its first 190 bytes.
bool signedAsLame(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray head = file.read(65536);
    const qsizetype xing = std::max(head.indexOf("Xing"), head.indexOf("Info"));
    if (xing < 36 || head.size() < xing + 160) {
        return false;
    }
    const qsizetype frame = xing - 36;
    quint16 crc = 0;
    for (qsizetype index = frame; index < frame + 190; ++index) {
        crc ^= quint8(head.at(index));
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
        }
    }
    const quint16 stored =
        quint16(quint8(head.at(frame + 190)) << 8 | quint8(head.at(frame + 191)));
    return head.mid(xing + 120, 4) == "LAME" && crc == stored;
}

// iTunSMPB's padding and sample count.
std::pair<qint64, qint64> itunesGapless(const QJsonObject& raw) {
    const QStringList fields = raw.value("----:com.apple.iTunes:iTunSMPB")
                                   .toArray()
                                   .at(0)
                                   .toString()
                                   .split(' ', Qt::SkipEmptyParts);
    if (fields.size() < 4) {
        return {-1, -1};
    }
    return {fields[2].toLongLong(nullptr, 16), fields[3].toLongLong(nullptr, 16)};
}
} // namespace

TEST(Gapless, EveryCodecStatesTheSourcesLengthToTheSample) {
    UserDefaults& defaults = TestEnvironment::defaults();
    defaults.setInteger(3, "DestinationType");
    for (const qint64 length : {qint64(100001), qint64(44100), qint64(44101)}) {
        FlacFactory::Options options;
        options.seconds = double(length) / 44100;
        options.noise = 0.1;
        const QString source = FlacFactory::make(
            TestEnvironment::home() + QStringLiteral("/Music/%1.flac").arg(length), options);
        QByteArray total;
        FlacFactory::run("metaflac", {"--show-total-samples", source}, &total);
        ASSERT_EQ(total.trimmed().toLongLong(), length) << "the source itself";
        const qint64 vorbisInGstreamer = referenceVorbisInGstreamer(source, length);
        for (const char* name : {"m4a", "aac", "alac", "mp3", "ogg", "opus"}) {
            const std::string what = std::string(name) + " " + std::to_string(length);
            defaults.setString(name, "ConversionCodec");
            const QString folder = TestEnvironment::home() + "/Out/" + name;
            defaults.setFolder(folder, "DestinationDossier");
            TestDatabase context(QStringLiteral("%1-%2.db").arg(name).arg(length));
            context.fileAdder()->add({source});
            context.fileAdder()->waitUntilDone();
            PassRunner pass(context.controleur());
            ASSERT_TRUE(pass.runPass()) << what;
            const QString output = folder + QStringLiteral("/%1.").arg(length) +
                                   OutputCodec::extensionOf(QLatin1String(name));
            const QJsonObject read = OutputReader::read(output);
            const qint64 byFfmpeg = IndependentDecoders::ffmpeg(output).size();
            const qint64 byGstreamer = IndependentDecoders::gstreamer(output).size();
            if (qstrcmp(name, "opus") == 0) {
                // Always 48 kHz: the source's length at that rate, to the
                // nearest sample.
                const qint64 resampled = std::llround(length * 48000.0 / 44100);
                EXPECT_EQ(byFfmpeg, resampled) << what;
                EXPECT_EQ(byGstreamer, resampled) << what;
                continue;
            }
            if (qstrcmp(name, "m4a") == 0 || qstrcmp(name, "aac") == 0) {
                // The edit list in the audio's own time scale cuts the delay
                // and the last frame's padding; iTunSMPB says the same for
                // players that read no edit list. FFmpeg's reader cuts the
                // delay only: what it decodes beyond is the stated padding.
                const qint64 delay = read.value("edit_list").toArray().at(1).toInteger();
                EXPECT_EQ(read.value("movie_timescale").toInt(), 44100) << what;
                EXPECT_EQ(read.value("edit_list").toArray().at(0).toInteger(), length) << what;
                const auto [padding, samples] = itunesGapless(read.value("raw").toObject());
                EXPECT_EQ(samples, length) << what;
                EXPECT_EQ(delay + length + padding, (delay + length + 1023) / 1024 * 1024)
                    << what << ": whole frames";
                EXPECT_EQ(byFfmpeg - padding, length) << what;
                // GStreamer plays the media from the delay for the source's
                // length. Its demuxer (1.22) stops reading at the movie's
                // duration counted from the start of the media, which leaves
                // the last frame out, so its sample count is not held here.
                EXPECT_EQ(IndependentDecoders::gstreamerSegment(output, 44100),
                          std::make_pair(delay, length))
                    << what;
                continue;
            }
            EXPECT_EQ(byFfmpeg, length) << what;
            if (qstrcmp(name, "ogg") == 0) {
                // GStreamer's Vorbis decoder gives libvorbis's own files one
                // sample more than their end granule states.
                EXPECT_EQ(byGstreamer, vorbisInGstreamer) << what;
                continue;
            }
            EXPECT_EQ(byGstreamer, length) << what;
            if (qstrcmp(name, "mp3") == 0) {
                EXPECT_TRUE(signedAsLame(output)) << what;
                EXPECT_TRUE(read.value("encoder_info").toString().startsWith("LAME")) << what;
            }
        }
    }
}

namespace {
// Two tones at 48 kHz, the rate Opus keeps, the upper one high enough that
// a track shifted by a single sample would differ from the source by a
// third of its level.
QByteArray continuousRecording(qint64 frames) {
    QByteArray pcm(frames * 4, '\0');
    auto* out = reinterpret_cast<qint16*>(pcm.data());
    for (qint64 frame = 0; frame < frames; ++frame) {
        const double time = double(frame) / 48000;
        const auto value =
            qint16(std::lround(32767 * (0.3 * std::sin(2 * M_PI * 1000 * time) +
                                        0.2 * std::sin(2 * M_PI * 3000 * time + 0.5))));
        out[2 * frame] = value;
        out[2 * frame + 1] = value;
    }
    return pcm;
}

// Signal to error ratio of a decode against the source over [from, to), in dB.
double signalToError(const QVector<qint16>& decoded, const QVector<qint16>& source, qint64 from,
                     qint64 to) {
    double signal = 0;
    double error = 0;
    for (qint64 index = from; index < to; ++index) {
        signal += double(source[index]) * source[index];
        const double difference = double(decoded[index]) - source[index];
        error += difference * difference;
    }
    return error == 0 ? 200 : 10 * std::log10(signal / error);
}
} // namespace

TEST(Gapless, TwoTracksOfOneRecordingPlayBackToBackAsTheRecording) {
    UserDefaults& defaults = TestEnvironment::defaults();
    defaults.setInteger(3, "DestinationType");
    const qint64 firstLength = 70001;
    const qint64 secondLength = 61003;
    const QByteArray recording = continuousRecording(firstLength + secondLength);
    FlacFactory::Options options;
    options.sampleRate = 48000;
    options.pcm = recording.left(firstLength * 4);
    const QString first = FlacFactory::make(TestEnvironment::home() + "/Music/1.flac", options);
    options.pcm = recording.mid(firstLength * 4);
    const QString second = FlacFactory::make(TestEnvironment::home() + "/Music/2.flac", options);
    options.pcm = recording;
    const QString whole = FlacFactory::make(TestEnvironment::home() + "/whole.flac", options);
    for (const char* name : {"alac", "m4a", "aac", "mp3", "ogg", "opus"}) {
        const std::string what = name;
        defaults.setString(name, "ConversionCodec");
        const QString folder = TestEnvironment::home() + "/Out/" + name;
        defaults.setFolder(folder, "DestinationDossier");
        TestDatabase context(QStringLiteral("%1.db").arg(name));
        context.fileAdder()->add({first, second});
        context.fileAdder()->waitUntilDone();
        PassRunner pass(context.controleur());
        ASSERT_TRUE(pass.runPass()) << what;
        const QVector<qint16> source = IndependentDecoders::ffmpeg(whole);
        QVector<qint16> joined;
        for (const QString track : {"1", "2"}) {
            const QString output =
                folder + "/" + track + "." + OutputCodec::extensionOf(QLatin1String(name));
            QVector<qint16> decoded = IndependentDecoders::ffmpeg(output);
            const QJsonArray edit = OutputReader::read(output).value("edit_list").toArray();
            if (qstrcmp(name, "m4a") == 0 || qstrcmp(name, "aac") == 0) {
                // Played as the edit list says: FFmpeg's reader leaves the
                // end's padding in.
                decoded.resize(edit.at(0).toInteger());
            }
            joined += decoded;
        }
        ASSERT_EQ(joined.size(), source.size()) << what;
        const qint64 length = source.size();
        const qint64 joint = firstLength;
        const qint64 window = 2048;
        const double atTheJoint = signalToError(joined, source, joint - window, joint + window);
        const double firstBody = signalToError(joined, source, window, joint - window);
        const double secondBody = signalToError(joined, source, joint + window, length - window);
        std::printf("%s: %.1f dB at the joint, %.1f and %.1f dB in the tracks\n", name, atTheJoint,
                    firstBody, secondBody);
        if (qstrcmp(name, "alac") == 0) {
            EXPECT_EQ(joined, source) << what;
            continue;
        }
        // A sample too many or too few shifts the second track, which
        // brings it to about 12 dB. Each track is encoded alone, so the
        // encoder's last and first frames stray further from the recording
        // than the rest (32 to 42 dB here), but a click of a single
        // full-scale sample would bring the joint to 24 dB.
        EXPECT_GE(firstBody, 30) << what;
        EXPECT_GE(secondBody, 30) << what;
        EXPECT_GE(atTheJoint, 26) << what;
    }
}
