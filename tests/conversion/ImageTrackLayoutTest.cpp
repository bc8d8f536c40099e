#include "conversion/ImageTrackLayout.h"

#include "conversion/ConversionJob.h"
#include "conversion/ExternalTools.h"
#include "conversion/FlacStreamInfo.h"
#include "support/FlacFactory.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {
constexpr qint64 kRate = 44100;

// Tracks of one file at these INDEX lines, each given as "MM:SS:FF" pairs
// of INDEX 00 (empty: none) and INDEX 01.
CueSheet sheetOf(const QList<QPair<QString, QString>>& indexes, const QString& file = "a.flac") {
    QString text = QStringLiteral("FILE \"%1\" WAVE\n").arg(file);
    int number = 0;
    for (const auto& [pregap, start] : indexes) {
        text += QStringLiteral("  TRACK %1 AUDIO\n").arg(++number, 2, 10, QLatin1Char('0'));
        if (!pregap.isEmpty()) {
            text += QStringLiteral("    INDEX 00 %1\n").arg(pregap);
        }
        text += QStringLiteral("    INDEX 01 %1\n").arg(start);
    }
    return CueSheet::parse(text);
}

// The samples of a WAV file that flac wrote: what its data chunk holds.
QByteArray pcm(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    return bytes.mid(bytes.indexOf("data") + 8);
}

QList<std::tuple<int, qint64, qint64>> bounds(const ImageTrackLayout& layout) {
    QList<std::tuple<int, qint64, qint64>> found;
    for (const ImageTrackLayout::Range& range : layout.ranges) {
        found << std::tuple{range.number, range.firstSample, range.endSample};
    }
    return found;
}
} // namespace

TEST(ImageTrackLayout, TracksToTheSampleWithPregapsEitherWay) {
    const qint64 total = 300 * kRate + 123;
    const QHash<QString, ImageTrackLayout::Audio> audio = {{"a.flac", {int(kRate), total}}};
    // Track 2 has a two-second pregap; frame 37 is 37 × 588 samples.
    const CueSheet sheet = sheetOf({{"", "00:00:00"}, {"01:58:00", "02:00:37"}, {"", "04:00:00"}});

    const auto byDefault = ImageTrackLayout::of(sheet, audio, false);
    ASSERT_TRUE(byDefault.isValid()) << byDefault.error.toStdString();
    const qint64 two = 120 * kRate + 37 * 588;
    EXPECT_EQ(bounds(byDefault), (QList<std::tuple<int, qint64, qint64>>{
                                     {1, 0, two}, {2, two, 240 * kRate}, {3, 240 * kRate, total}}))
        << "the pregap ends the track before it; the last track runs to the end";

    const auto withTheirTracks = ImageTrackLayout::of(sheet, audio, true);
    EXPECT_EQ(bounds(withTheirTracks),
              (QList<std::tuple<int, qint64, qint64>>{
                  {1, 0, 118 * kRate}, {2, 118 * kRate, 240 * kRate}, {3, 240 * kRate, total}}));

    // At 48 kHz a frame is 640 samples.
    const auto at48 = ImageTrackLayout::of(sheet, {{"a.flac", {48000, 300 * 48000}}}, false);
    EXPECT_EQ(at48.ranges.at(1).firstSample, 120 * 48000 + 37 * 640);
}

TEST(ImageTrackLayout, HiddenTracksSidesAndTimesPastTheEnd) {
    const qint64 total = 60 * kRate;
    const QHash<QString, ImageTrackLayout::Audio> audio = {{"a.flac", {int(kRate), total}}};
    const auto hidden =
        ImageTrackLayout::of(sheetOf({{"00:00:00", "00:04:01"}, {"", "00:30:00"}}), audio, false);
    EXPECT_EQ(bounds(hidden),
              (QList<std::tuple<int, qint64, qint64>>{{0, 0, 4 * kRate + 588},
                                                      {1, 4 * kRate + 588, 30 * kRate},
                                                      {2, 30 * kRate, total}}))
        << "more than 4 s before track 1: track 0";
    const auto joined =
        ImageTrackLayout::of(sheetOf({{"00:00:00", "00:03:00"}, {"", "00:30:00"}}), audio, true);
    EXPECT_EQ(bounds(joined),
              (QList<std::tuple<int, qint64, qint64>>{{1, 0, 30 * kRate}, {2, 30 * kRate, total}}))
        << "3 s joins track 1";

    CueSheet sides = CueSheet::parse(
        "FILE \"A.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\nFILE \"B.flac\" WAVE\n"
        "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n  TRACK 03 AUDIO\n    INDEX 01 00:10:00\n");
    const auto twoFiles = ImageTrackLayout::of(
        sides, {{"A.flac", {int(kRate), 20 * kRate}}, {"B.flac", {int(kRate), total}}}, false);
    EXPECT_EQ(bounds(twoFiles),
              (QList<std::tuple<int, qint64, qint64>>{
                  {1, 0, 20 * kRate}, {2, 0, 10 * kRate}, {3, 10 * kRate, total}}));
    EXPECT_EQ(twoFiles.ranges.at(1).file, "B.flac");

    const auto past =
        ImageTrackLayout::of(sheetOf({{"", "00:00:00"}, {"", "01:10:00"}}), audio, false);
    EXPECT_FALSE(past.isValid());
    EXPECT_EQ(past.error, "la piste 2 commence après la fin de a.flac");
    EXPECT_EQ(past.errorLine, 4) << "the second TRACK line";
    EXPECT_TRUE(past.ranges.isEmpty());
    const auto missing =
        ImageTrackLayout::of(sheetOf({{"", "00:00:00"}}, "gone.flac"), audio, false);
    EXPECT_EQ(missing.error, "fichier gone.flac introuvable");
}

TEST(ImageTrackLayout, EachTrackIsDecodedAloneAndTheTracksMakeTheImage) {
    FlacFactory::Options options;
    options.seconds = 3;
    options.noise = 0.2;
    const QString image = FlacFactory::make(TestEnvironment::home() + "/Image.flac", options);
    const QString flac = ExternalTools::found().flac;
    const auto decode = [&flac](const QStringList& arguments) {
        QProcess process;
        process.start(flac, arguments);
        process.waitForFinished();
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    };
    const QString whole = TestEnvironment::home() + "/whole.wav";
    decode({"-d", "-s", image, "-o", whole});

    const CueSheet sheet = CueSheet::parse(
        "FILE \"Image.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
        "    INDEX 01 00:01:37\n  TRACK 03 AUDIO\n    INDEX 01 00:02:01\n");
    const auto layout = ImageTrackLayout::of(sheet, {{"Image.flac", {44100, 3 * 44100}}}, false);
    ASSERT_EQ(layout.ranges.size(), 3);
    QByteArray joined;
    FlacStreamInfo stream;
    stream.totalSamples = 3 * 44100;
    for (const ImageTrackLayout::Range& range : layout.ranges) {
        const QString track = TestEnvironment::home() + QString("/%1.wav").arg(range.number);
        decode(ConversionJob::decodingArguments(image, track, false, true, -1, stream,
                                                range.firstSample, range.endSample));
        const QByteArray samples = pcm(track);
        EXPECT_EQ(samples.size(), (range.endSample - range.firstSample) * 4) << range.number;
        joined += samples;
    }
    EXPECT_TRUE(joined == pcm(whole)) << "the tracks end to end are the image";
}
