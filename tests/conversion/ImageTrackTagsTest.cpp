#include "conversion/ImageTrackTags.h"

#include <gtest/gtest.h>

TEST(ImageTrackTags, TheSheetOverTheImagesOwnComments) {
    const CueSheet sheet = CueSheet::parse(QStringLiteral(
        "REM GENRE Jazz\nREM DATE 1959\nREM DISCNUMBER 2\nREM TOTALDISCS 3\nREM COMPOSER "
        "\"Miles Davis\"\nCATALOG 5099749522428\nPERFORMER \"Miles Davis\"\nTITLE \"Kind of "
        "Blue\"\nFILE \"Kind of Blue.flac\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"So What\"\n    "
        "ISRC "
        "USSM15900113\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    PERFORMER \"Bill Evans\"\n    "
        "SONGWRITER \"Bill Evans\"\n    INDEX 01 09:22:00\n"));
    ASSERT_TRUE(sheet.isValid());
    const TagList image = {{"TITLE", "Kind of Blue (image)"},
                           {"ALBUM", "Old album"},
                           {"LABEL", "Columbia"},
                           {"CUESHEET", "FILE …"},
                           {"TRACKNUMBER", "1"},
                           {"REPLAYGAIN_ALBUM_GAIN", "-2 dB"},
                           {"REPLAYGAIN_TRACK_GAIN", "-2 dB"}};

    const TagList first = ImageTrackTags::forTrack(sheet, sheet.tracks.at(0), image, 2);
    EXPECT_EQ(first.first("TITLE"), "So What");
    EXPECT_EQ(first.values("TITLE").size(), 1);
    EXPECT_EQ(first.first("ALBUM"), "Kind of Blue") << "the sheet wins";
    EXPECT_EQ(first.first("ALBUMARTIST"), "Miles Davis");
    EXPECT_EQ(first.first("ARTIST"), "Miles Davis");
    EXPECT_EQ(first.first("COMPOSER"), "Miles Davis");
    EXPECT_EQ(first.first("DATE"), "1959");
    EXPECT_EQ(first.first("GENRE"), "Jazz");
    EXPECT_EQ(first.first("DISCNUMBER"), "2");
    EXPECT_EQ(first.first("DISCTOTAL"), "3");
    EXPECT_EQ(first.first("CATALOGNUMBER"), "5099749522428");
    EXPECT_EQ(first.first("ISRC"), "USSM15900113");
    EXPECT_EQ(first.first("TRACKNUMBER"), "1");
    EXPECT_EQ(first.first("TRACKTOTAL"), "2");
    EXPECT_EQ(first.first("LABEL"), "Columbia") << "the image fills what the sheet lacks";
    EXPECT_EQ(first.first("REPLAYGAIN_ALBUM_GAIN"), "-2 dB");
    EXPECT_FALSE(first.contains("CUESHEET"));
    EXPECT_FALSE(first.contains("REPLAYGAIN_TRACK_GAIN")) << "the whole image's, not the track's";

    const TagList second = ImageTrackTags::forTrack(sheet, sheet.tracks.at(1), image, 2);
    EXPECT_EQ(second.first("ARTIST"), "Bill Evans") << "its own performer";
    EXPECT_EQ(second.first("ALBUMARTIST"), "Miles Davis");
    EXPECT_EQ(second.first("COMPOSER"), "Bill Evans");
    EXPECT_EQ(second.first("TITLE"), "Piste 02") << "no title in the sheet";
    EXPECT_FALSE(second.contains("ISRC"));
}
