#include "model/OutputCodec.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
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
// How many samples of one channel the FFmpeg command line decodes.
qint64 decodedSamples(const QString& path) {
    QByteArray raw;
    EXPECT_EQ(FlacFactory::run("ffmpeg",
                               {"-v", "error", "-i", path, "-ac", "1", "-f", "s16le", "-"}, &raw),
              0);
    return raw.size() / 2;
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
            const qint64 decoded = decodedSamples(output);
            if (qstrcmp(name, "opus") == 0) {
                // Always 48 kHz: the resampled length.
                EXPECT_LE(std::abs(decoded - std::llround(length * 48000.0 / 44100)), 1) << what;
                continue;
            }
            if (qstrcmp(name, "m4a") == 0 || qstrcmp(name, "aac") == 0) {
                // The edit list in the audio's own time scale cuts the delay
                // and the last frame's padding; iTunSMPB says the same for
                // players that read no edit list. FFmpeg's reader cuts the
                // delay only: what it decodes beyond is the stated padding.
                EXPECT_EQ(read.value("movie_timescale").toInt(), 44100) << what;
                EXPECT_EQ(read.value("edit_list").toArray().at(0).toInteger(), length) << what;
                const auto [padding, samples] = itunesGapless(read.value("raw").toObject());
                EXPECT_EQ(samples, length) << what;
                EXPECT_EQ(read.value("edit_list").toArray().at(1).toInteger() + length + padding,
                          (read.value("edit_list").toArray().at(1).toInteger() + length + 1023) /
                              1024 * 1024)
                    << what << ": whole frames";
                EXPECT_EQ(decoded - padding, length) << what;
                continue;
            }
            EXPECT_EQ(decoded, length) << what;
            if (qstrcmp(name, "mp3") == 0) {
                EXPECT_TRUE(signedAsLame(output)) << what;
                EXPECT_TRUE(read.value("encoder_info").toString().startsWith("LAME")) << what;
            }
        }
    }
}
