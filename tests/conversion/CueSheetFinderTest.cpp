#include "conversion/CueSheetFinder.h"

#include "conversion/DiscImageReader.h"
#include "conversion/ExternalTools.h"
#include "conversion/FlacTagReader.h"
#include "support/FlacFactory.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {
const QString kTwoTracks = QStringLiteral(
    "PERFORMER \"Artist\"\r\nTITLE \"Album\"\r\nFILE \"%1\" WAVE\r\n  TRACK 01 AUDIO\r\n    "
    "TITLE \"One\"\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    TITLE \"Two\"\r\n    "
    "INDEX 01 00:05:00\r\n");

QString image(const QString& path) {
    FlacFactory::Options options;
    options.seconds = 10;
    return FlacFactory::make(path, options);
}
} // namespace

TEST(CueSheetFinder, SheetsAndImagesFindEachOther) {
    const QString folder = TestEnvironment::makeFolder("Rips/Album");
    const QString flac = image(folder + "/Album.flac");
    // Rip logs name the WAV the FLAC file was made of.
    const QString cue =
        TestEnvironment::writeFile(folder + "/Album.cue", kTwoTracks.arg("Album.wav").toUtf8());
    TestEnvironment::writeFile(folder + "/Other.cue", kTwoTracks.arg("Other.flac").toUtf8());
    TestEnvironment::writeFile(folder + "/notes.txt", "not a sheet");

    EXPECT_EQ(CueSheetFinder::audioFor(cue, "Album.wav"), flac);
    EXPECT_EQ(CueSheetFinder::audioFor(cue, "Album.flac"), flac);
    EXPECT_EQ(CueSheetFinder::audioFor(folder + "/Other.cue", "Other.flac"), "")
        << "the file it names is not there";
    EXPECT_EQ(CueSheetFinder::sheetBeside(flac), cue);
    EXPECT_EQ(CueSheetFinder::sheetBeside(image(folder + "/Single.flac")), "")
        << "no sheet names it";

    const CueSheetFinder::Found found = CueSheetFinder::read(cue);
    EXPECT_EQ(found.text.encoding, "UTF-8");
    ASSERT_TRUE(found.sheet.isValid());
    EXPECT_EQ(found.sheet.tracks.size(), 2);
    EXPECT_FALSE(CueSheetFinder::read(folder + "/missing.cue").sheet.isValid());
}

TEST(CueSheetFinder, AnImageCarriesItsSheetAsABlockOrAComment) {
    const QString folder = TestEnvironment::makeFolder("Rips/Embedded");
    const QString metaflac = ExternalTools::found().metaflac;
    const QString withBlock = image(folder + "/Block.flac");
    const QString sheetFile =
        TestEnvironment::writeFile(folder + "/import.cue", kTwoTracks.arg("Block.wav").toUtf8());
    QProcess importing;
    importing.start(metaflac, {"--import-cuesheet-from=" + sheetFile, withBlock});
    ASSERT_TRUE(importing.waitForFinished());
    ASSERT_EQ(importing.exitCode(), 0) << importing.readAllStandardError().toStdString();

    const CueSheet fromBlock =
        CueSheet::parse(FlacTagReader::embeddedCueSheet(withBlock, metaflac));
    ASSERT_TRUE(fromBlock.isValid()) << fromBlock.error.toStdString();
    ASSERT_EQ(fromBlock.tracks.size(), 2);
    EXPECT_EQ(fromBlock.tracks.at(1).start, 5 * 75);

    FlacFactory::Options options;
    options.seconds = 10;
    options.tags = {{"TITLE", "Album"}, {"CUESHEET", kTwoTracks.arg("Comment.flac")}};
    const QString withComment = FlacFactory::make(folder + "/Comment.flac", options);
    const CueSheet fromComment =
        CueSheet::parse(FlacTagReader::embeddedCueSheet(withComment, metaflac));
    ASSERT_TRUE(fromComment.isValid()) << fromComment.error.toStdString();
    EXPECT_EQ(fromComment.tracks.at(0).title, "One");

    EXPECT_EQ(FlacTagReader::embeddedCueSheet(image(folder + "/Plain.flac"), metaflac), "");
    EXPECT_TRUE(DiscImageReader::hasCueSheetBlock(withBlock));
    EXPECT_FALSE(DiscImageReader::hasCueSheetBlock(withComment)) << "a comment is no block";
    EXPECT_FALSE(DiscImageReader::hasCueSheetBlock(folder + "/Plain.flac"));
    EXPECT_FALSE(DiscImageReader::hasCueSheetBlock(sheetFile)) << "no FLAC file at all";
}
