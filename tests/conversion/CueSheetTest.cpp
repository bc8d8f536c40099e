#include "conversion/CueSheet.h"

#include <gtest/gtest.h>

namespace {
// An image ripped as rippers write them: remarks, a catalog number, flags,
// pregaps, a third index, a PREGAP and a POSTGAP command, a line of garbage,
// commands in lower case, and a FILE type that is no CD type.
const char* const kRip = R"(REM GENRE "Progressive Rock"
REM DATE 1998
REM DISCID 860B640B
REM COMMENT "ExactAudioCopy v0.99pb5"
REM DISCNUMBER 1
REM TOTALDISCS 2
REM COMPOSER "Someone"
CATALOG 0724384960650
PERFORMER "Artist"
TITLE "Album: Deluxe"
FILE "Album.flac" FLAC
  TRACK 01 AUDIO
    TITLE "One"
    FLAGS PRE DCP
    ISRC USRC17607839
    SONGWRITER "Writer"
    INDEX 01 00:00:00
  TRACK 02 audio
    title "Two"
    PERFORMER "Guest"
    this line means nothing
    INDEX 00 03:00:00
    index 01 03:02:00
    INDEX 02 03:10:00
  TRACK 03 AUDIO
    TITLE "Three"
    PREGAP 00:02:00
    INDEX 01 05:00:00
    POSTGAP 00:01:00
)";
} // namespace

TEST(CueSheet, ReadsWhatRealSheetsCarryWhateverTheirLineEnds) {
    for (const QString& lineEnd :
         {QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r")}) {
        const CueSheet sheet =
            CueSheet::parse(QString::fromUtf8(kRip).replace(QLatin1Char('\n'), lineEnd));
        ASSERT_TRUE(sheet.isValid()) << sheet.error.toStdString();
        EXPECT_EQ(sheet.disc.value("TITLE"), "Album: Deluxe");
        EXPECT_EQ(sheet.disc.value("PERFORMER"), "Artist");
        EXPECT_EQ(sheet.disc.value("GENRE"), "Progressive Rock");
        EXPECT_EQ(sheet.disc.value("DATE"), "1998");
        EXPECT_EQ(sheet.disc.value("DISCID"), "860B640B");
        EXPECT_EQ(sheet.disc.value("COMMENT"), "ExactAudioCopy v0.99pb5");
        EXPECT_EQ(sheet.disc.value("DISCNUMBER"), "1");
        EXPECT_EQ(sheet.disc.value("TOTALDISCS"), "2");
        EXPECT_EQ(sheet.disc.value("COMPOSER"), "Someone");
        EXPECT_EQ(sheet.disc.value("CATALOG"), "0724384960650");
        EXPECT_EQ(sheet.files, QStringList{"Album.flac"});
        ASSERT_EQ(sheet.tracks.size(), 3);

        const CueSheet::Track& one = sheet.tracks.at(0);
        EXPECT_EQ(one.title, "One");
        EXPECT_EQ(one.songwriter, "Writer");
        EXPECT_EQ(one.isrc, "USRC17607839");
        EXPECT_TRUE(one.preEmphasis);
        EXPECT_EQ(one.start, 0);
        EXPECT_EQ(one.pregapStart, -1);
        EXPECT_EQ(one.line, 12);

        const CueSheet::Track& two = sheet.tracks.at(1);
        EXPECT_EQ(two.title, "Two") << "a command in lower case";
        EXPECT_EQ(two.performer, "Guest");
        EXPECT_FALSE(two.preEmphasis);
        EXPECT_EQ(two.pregapStart, 3 * 60 * 75);
        EXPECT_EQ(two.start, (3 * 60 + 2) * 75) << "INDEX 01, not INDEX 02";

        EXPECT_EQ(sheet.tracks.at(2).start, 5 * 60 * 75);
        EXPECT_EQ(sheet.tracks.at(2).title, "Three");
    }
}

TEST(CueSheet, SeveralFilesAndSheetsThatCannotBeUsed) {
    const CueSheet sides = CueSheet::parse(QStringLiteral(
        "FILE \"Side A.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
        "    INDEX 01 02:00:00\nFILE \"Side B.wav\" WAVE\n  TRACK 03 AUDIO\n    INDEX 01 "
        "00:00:00\n  TRACK 04 AUDIO\n    INDEX 01 01:30:37\n"));
    ASSERT_TRUE(sides.isValid());
    EXPECT_EQ(sides.files, (QStringList{"Side A.flac", "Side B.wav"}));
    ASSERT_EQ(sides.tracks.size(), 4);
    EXPECT_EQ(sides.tracks.at(2).file, "Side B.wav");
    EXPECT_EQ(sides.tracks.at(2).start, 0) << "from the start of its own file";
    EXPECT_EQ(sides.tracks.at(3).start, 90 * 75 + 37);

    const CueSheet backwards = CueSheet::parse(QStringLiteral(
        "FILE \"a.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
        "    INDEX 01 04:00:00\n  TRACK 03 AUDIO\n    INDEX 01 03:00:00\n"));
    EXPECT_FALSE(backwards.isValid());
    EXPECT_EQ(backwards.errorLine, 6) << "the third TRACK line";
    EXPECT_EQ(backwards.error, "les temps de la piste 3 reculent");

    for (const QString& empty :
         {QString(), QStringLiteral("TITLE \"Nothing\"\nFILE \"a.flac\" WAVE\n"),
          QStringLiteral("garbage\n\x01\x02 more garbage\n")}) {
        const CueSheet none = CueSheet::parse(empty);
        EXPECT_FALSE(none.isValid());
        EXPECT_EQ(none.error, "aucune piste");
    }
}
