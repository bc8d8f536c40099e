#include "conversion/FileAdder.h"

#include "conversion/ExternalTools.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {
const char* const kSheet = "PERFORMER \"Artist\"\r\nTITLE \"Album\"\r\nREM DATE 2001\r\n"
                           "FILE \"Album.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE \"One\"\r\n"
                           "    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    TITLE \"Two\"\r\n"
                           "    INDEX 01 00:01:37\r\n  TRACK 03 AUDIO\r\n    TITLE \"Three\"\r\n"
                           "    INDEX 01 00:02:00\r\n";

QByteArray samples(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    return bytes.mid(bytes.indexOf("data") + 8);
}
} // namespace

TEST(DiscImage, AnImageWithItsSheetIsQueuedAsItsTracksAndConvertsIntoThem) {
    TestEnvironment::defaults().setString("wav", "ConversionCodec");
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    TestDatabase context;
    const QString folder = TestEnvironment::makeFolder("Music/Album");
    FlacFactory::Options options;
    options.seconds = 3;
    options.noise = 0.2;
    options.tags = {{"LABEL", "Label"}, {"TITLE", "Whole image"}};
    const QString image = FlacFactory::make(folder + "/Album.flac", options);
    TestEnvironment::writeFile(folder + "/Album.cue", kSheet);

    context.fileAdder()->add({folder});
    context.fileAdder()->waitUntilDone();
    context.fileAdder()->add({folder, image});
    context.fileAdder()->waitUntilDone();
    const auto rows = context.queue().fichiersAudio();
    ASSERT_EQ(rows.size(), 3) << "one row per track, queued once";
    QStringList names;
    for (const FichierAudioPtr& row : rows) {
        ASSERT_TRUE(row->imageTrack());
        names << row->destinationURL()->fileName();
    }
    EXPECT_EQ(names, (QStringList{"01 - One.wav", "02 - Two.wav", "03 - Three.wav"}));
    EXPECT_EQ(rows[1]->outMetadataDict()->value("title").toString(), "Two");
    EXPECT_EQ(rows[1]->outMetadataDict()->value("album").toString(), "Album");
    EXPECT_EQ(rows[1]->outMetadataDict()->value("artist").toString(), "Artist");
    EXPECT_EQ(rows[1]->sourceTags().first("LABEL"), "Label");
    EXPECT_EQ(rows[1]->sourceTags().first("TRACKTOTAL"), "3");

    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    QByteArray joined;
    for (const FichierAudioPtr& row : rows) {
        EXPECT_EQ(row->statusConversion(), kStatusConvFiniOk);
        joined += samples(row->destinationURL()->path());
    }
    QProcess decode;
    decode.start(ExternalTools::found().flac,
                 {"-d", "-s", image, "-o", TestEnvironment::home() + "/whole.wav"});
    ASSERT_TRUE(decode.waitForFinished());
    EXPECT_TRUE(joined == samples(TestEnvironment::home() + "/whole.wav"))
        << "the tracks end to end are the image's samples";
    EXPECT_TRUE(QFile::exists(image));
}

TEST(DiscImage, AnImageCarryingItsSheetIsSplitTooAndAPlainFileStaysWhole) {
    TestDatabase context;
    FlacFactory::Options options;
    options.seconds = 3;
    options.tags = {{"CUESHEET", QString::fromUtf8(kSheet)}};
    const QString image =
        FlacFactory::make(TestEnvironment::home() + "/Music/Carried.flac", options);
    options.tags = {{"TITLE", "Plain"}};
    const QString plain = FlacFactory::make(TestEnvironment::home() + "/Music/Plain.flac", options);
    context.fileAdder()->add({image, plain});
    context.fileAdder()->waitUntilDone();
    const auto rows = context.queue().fichiersAudio();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0]->outMetadataDict()->value("title").toString(), "One");
    EXPECT_EQ(rows[2]->imageTrack()->endSample, 3 * 44100);
    EXPECT_FALSE(rows[3]->imageTrack());
    EXPECT_EQ(rows[3]->outMetadataDict()->value("title").toString(), "Plain");
}

TEST(DiscImage, FilesOfATrackEachWithOneSheetNamingThemAllStayPlainFiles) {
    TestDatabase context;
    const QString folder = TestEnvironment::makeFolder("Music/PerTrack");
    FlacFactory::Options options;
    options.seconds = 2;
    options.tags = {{"TITLE", "First"}};
    FlacFactory::make(folder + "/01 First.flac", options);
    options.tags = {{"TITLE", "Second"}};
    FlacFactory::make(folder + "/02 Second.flac", options);
    TestEnvironment::writeFile(folder + "/Album.cue",
                               "TITLE \"Album\"\nFILE \"01 First.flac\" WAVE\n  TRACK 01 AUDIO\n"
                               "    INDEX 01 00:00:00\nFILE \"02 Second.flac\" WAVE\n"
                               "  TRACK 02 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:00:30\n");
    context.fileAdder()->add({folder});
    context.fileAdder()->waitUntilDone();
    const auto rows = context.queue().fichiersAudio();
    ASSERT_EQ(rows.size(), 2);
    for (const FichierAudioPtr& row : rows) {
        EXPECT_FALSE(row->imageTrack()) << "a file of one track is converted whole";
    }
    EXPECT_EQ(rows[1]->outMetadataDict()->value("title").toString(), "Second");
}

TEST(DiscImage, EachTrackKeepsItsOwnRowAndRemovingOneNeverQueuesTheOthersTwice) {
    TestDatabase context;
    const QString folder = TestEnvironment::makeFolder("Music/Album");
    FlacFactory::Options options;
    options.seconds = 3;
    FlacFactory::make(folder + "/Album.flac", options);
    TestEnvironment::writeFile(folder + "/Album.cue", kSheet);
    context.fileAdder()->add({folder});
    context.fileAdder()->waitUntilDone();
    QList<FichierAudioPtr> stored = context.records().loadFiles();
    ASSERT_EQ(stored.size(), 3) << "a row of the database per track";
    QList<qint64> starts;
    for (const FichierAudioPtr& row : stored) {
        ASSERT_TRUE(row->imageTrack());
        starts << row->imageTrack()->firstSample;
    }
    EXPECT_EQ(starts, (QList<qint64>{0, 112 * 588, 150 * 588}));

    context.queue().supprimerFichierAudio(context.queue().fichierAt(1));
    context.fileAdder()->add({folder});
    context.fileAdder()->waitUntilDone();
    EXPECT_EQ(context.queue().countOfFichiersAudio(), 2)
        << "the image is still queued by its other tracks";
    EXPECT_EQ(context.records().loadFiles().size(), 2);
}

TEST(DiscImage, ASheetAddedItselfBringsItsImageAndBadSheetsAreRowsInErrorThatHoldNothingUp) {
    TestDatabase context;
    const QString folder = TestEnvironment::makeFolder("Music/Album");
    FlacFactory::Options options;
    options.seconds = 3;
    const QString image = FlacFactory::make(folder + "/Album.flac", options);
    const QString sheet = TestEnvironment::writeFile(folder + "/Album.cue", kSheet);
    context.fileAdder()->add({sheet, image});
    context.fileAdder()->waitUntilDone();
    EXPECT_EQ(context.queue().countOfFichiersAudio(), 3) << "the sheet and its image: tracks once";

    // A sheet whose audio is nowhere, and one whose times run past the end.
    const QString lost = TestEnvironment::writeFile(
        TestEnvironment::home() + "/Music/Lost/Lost.cue",
        "FILE \"Lost.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    const QString other = TestEnvironment::makeFolder("Music/Long");
    FlacFactory::make(other + "/Long.flac", options);
    TestEnvironment::writeFile(other + "/Long.cue",
                               "FILE \"Long.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                               "  TRACK 02 AUDIO\n    INDEX 01 00:09:00\n");
    context.fileAdder()->add({TestEnvironment::home() + "/Music/Lost", other});
    context.fileAdder()->waitUntilDone();
    ASSERT_EQ(context.queue().countOfFichiersAudio(), 5);
    const FichierAudioPtr lostRow = context.queue().fichierAt(3);
    EXPECT_EQ(lostRow->elementURL()->path(), lost);
    EXPECT_EQ(lostRow->statusConversion(), kStatusConvFiniErreur);
    EXPECT_TRUE(lostRow->failureReason().contains("Music/Lost/Lost.wav introuvable"))
        << lostRow->failureReason().toStdString();
    const FichierAudioPtr longRow = context.queue().fichierAt(4);
    EXPECT_EQ(longRow->statusConversion(), kStatusConvFiniErreur);
    EXPECT_TRUE(longRow->failureReason().contains("ligne 4 : la piste 2 commence après la fin"))
        << longRow->failureReason().toStdString();

    TestEnvironment::defaults().setString("wav", "ConversionCodec");
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(context.controleur()->passConverted(), 3) << "the good image's tracks convert";
    EXPECT_EQ(context.controleur()->passFailed(), 2);
    EXPECT_FALSE(QFile::exists(other + "/Long.wav")) << "a bad sheet's image is never converted";
}

TEST(DiscImage, ImagesCanStayWholeAndPregapsCanStartTheirTracks) {
    const char* sheet = "FILE \"Album.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                        "  TRACK 02 AUDIO\n    INDEX 00 00:01:00\n    INDEX 01 00:02:00\n";
    const QString folder = TestEnvironment::makeFolder("Music/Album");
    FlacFactory::Options options;
    options.seconds = 3;
    FlacFactory::make(folder + "/Album.flac", options);
    TestEnvironment::writeFile(folder + "/Album.cue", sheet);
    TestEnvironment::defaults().setBool(true, "SilencesAvecLeurPiste");
    {
        TestDatabase context;
        context.fileAdder()->add({folder});
        context.fileAdder()->waitUntilDone();
        ASSERT_EQ(context.queue().countOfFichiersAudio(), 2);
        EXPECT_EQ(context.queue().fichierAt(0)->imageTrack()->endSample, 44100);
        EXPECT_EQ(context.queue().fichierAt(1)->imageTrack()->firstSample, 44100)
            << "the pregap starts its own track";
        context.queue().supprimerLesFichiersDansLindex({0, 1}, false);
    }
    TestEnvironment::defaults().setBool(true, "ImagesDisqueEntieres");
    TestDatabase context;
    context.fileAdder()->add({folder});
    context.fileAdder()->waitUntilDone();
    ASSERT_EQ(context.queue().countOfFichiersAudio(), 1);
    EXPECT_FALSE(context.queue().fichierAt(0)->imageTrack()) << "the image queued whole";
}

TEST(DiscImage, DeletingSourcesDeletesAnImageOnlyOnceEveryOneOfItsSamplesIsConverted) {
    TestEnvironment::defaults().setString("wav", "ConversionCodec");
    TestEnvironment::defaults().setBool(true, "DestinationEffacerOriginal");
    TestDatabase context;
    FlacFactory::Options options;
    options.seconds = 3;
    const QString whole = TestEnvironment::makeFolder("Music/Whole");
    const QString wholeImage = FlacFactory::make(whole + "/Album.flac", options);
    TestEnvironment::writeFile(whole + "/Album.cue", kSheet);
    const QString partial = TestEnvironment::makeFolder("Music/Partial");
    const QString partialImage = FlacFactory::make(partial + "/Album.flac", options);
    TestEnvironment::writeFile(partial + "/Album.cue", kSheet);
    context.fileAdder()->add({whole, partial});
    context.fileAdder()->waitUntilDone();
    ASSERT_EQ(context.queue().countOfFichiersAudio(), 6);
    // A track the user took out of the list: its image must stay.
    context.queue().supprimerFichierAudio(context.queue().fichierAt(4));

    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(context.controleur()->passConverted(), 5);
    EXPECT_FALSE(QFile::exists(wholeImage)) << "every track converted: the image goes";
    EXPECT_FALSE(QFile::exists(whole + "/Album.cue")) << "with its sheet";
    EXPECT_TRUE(QFile::exists(whole + "/03 - Three.wav"));
    EXPECT_TRUE(QFile::exists(partialImage)) << "a track not converted keeps its image";
    EXPECT_TRUE(QFile::exists(partial + "/Album.cue"));
}

TEST(DiscImage, AppleLosslessTracksEndToEndAreTheImagesSamples) {
    TestEnvironment::defaults().setString("alac", "ConversionCodec");
    TestDatabase context;
    const QString folder = TestEnvironment::makeFolder("Music/Alac");
    FlacFactory::Options options;
    options.seconds = 3;
    options.noise = 0.2;
    const QString image = FlacFactory::make(folder + "/Album.flac", options);
    TestEnvironment::writeFile(folder + "/Album.cue", kSheet);
    context.fileAdder()->add({folder});
    context.fileAdder()->waitUntilDone();
    const auto rows = context.queue().fichiersAudio();
    ASSERT_EQ(rows.size(), 3);
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    const auto raw = [](const QString& path) {
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-"});
        ffmpeg.waitForFinished(60000);
        return ffmpeg.readAllStandardOutput();
    };
    QByteArray joined;
    for (const FichierAudioPtr& row : rows) {
        ASSERT_EQ(row->statusConversion(), kStatusConvFiniOk) << row->failureReason().toStdString();
        joined += raw(row->destinationURL()->path());
    }
    const QByteArray whole = raw(image);
    EXPECT_EQ(joined.size(), whole.size());
    EXPECT_TRUE(joined == whole) << "the tracks end to end are the image's samples";
}
