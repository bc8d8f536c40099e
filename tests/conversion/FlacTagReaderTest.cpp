#include "conversion/FlacTagReader.h"

#include "conversion/ConversionJob.h"
#include "conversion/ConversionSettings.h"
#include "conversion/WorkFolder.h"

#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include "conversion/FlacStreamInfo.h"
#include <QDir>
#include <QFile>

#include <QThread>
#include <gtest/gtest.h>

namespace {
FichierAudioPtr addFile(TestDatabase& context, const QString& path) {
    context.queue().ajouterUnFichier(path);
    return context.queue().fichiersAudio().isEmpty() ? nullptr
                                                     : context.queue().fichiersAudio().last();
}
} // namespace

TEST(ConversionJob, DecodingArgumentsFollowThePassSettings) {
    const QString source = TestEnvironment::home() + "/Music/Song.flac";
    const QString decoded = TestEnvironment::home() + "/.cache/Tonebridge/work-1/1.aif";
    auto& defaults = TestEnvironment::defaults();
    ConversionSettings settings = ConversionSettings::fromSettings(TestEnvironment::settings());
    FlacStreamInfo stream;
    stream.sampleRate = 44100;
    stream.channels = 2;
    stream.bitsPerSample = 16;
    stream.totalSamples = 44100;
    EXPECT_EQ(ConversionJob::decodingArguments(source, decoded, settings.preserveDate,
                                               settings.existing == ExistingOutput::Replace,
                                               settings.compression, stream),
              (QStringList{"-d", source, "-o", decoded, "-s", "--no-preserve-modtime"}));

    defaults.setBool(true, "ConversionPreserverDate");
    defaults.setBool(true, "DestinationEcraserExistant");
    defaults.setBool(true, "DestinationEffacerOriginal");
    defaults.setInteger(48000, "ConversionFrequence");
    defaults.setInteger(65536, "ConversionDebit");
    defaults.setInteger(0, "ConversionCompression");
    defaults.setInteger(1, "ConversionCanaux");
    settings = ConversionSettings::fromSettings(TestEnvironment::settings());
    EXPECT_EQ(
        ConversionJob::decodingArguments(source, decoded, settings.preserveDate,
                                         settings.existing == ExistingOutput::Replace,
                                         settings.compression, stream),
        (QStringList{"-d", source, "-o", decoded, "-s", "--preserve-modtime", "--force", "-0"}))
        << "flac never deletes the source and never gets options it refuses when decoding";
    // flac loops writing AIFF for a stream whose length it cannot know first,
    // and reads Ogg FLAC only when told.
    FlacStreamInfo unknown;
    unknown.ogg = true;
    EXPECT_EQ(ConversionJob::decodedFileName(3, unknown), "3.wav");
    EXPECT_EQ(ConversionJob::decodedFileName(3, stream), "3.aif");
    EXPECT_EQ(ConversionJob::decodingArguments(source, decoded, false, false, -1, unknown).mid(6),
              (QStringList{"--ogg", "--force-rf64-format"}));
    EXPECT_EQ(settings.jobs, std::max(1, QThread::idealThreadCount())) << "0: one per core";
    defaults.setInteger(3, "ConversionsSimultanees");
    EXPECT_EQ(ConversionSettings::fromSettings(TestEnvironment::settings()).jobs, 3);
}

TEST(FlacTagReader, ReadsTheSevenTagsAndThePicture) {
    TestDatabase context;
    const QString music = TestEnvironment::home() + "/Music";
    const QString cover = FlacFactory::makePicture(music + "/art/cover.png", "png");
    FlacFactory::Options options;
    options.tags = {{"ARTIST", "Beyoncé"},  {"TITLE", "Sigur Rós – 東京"}, {"ALBUM", "Album"},
                    {"DATE", "1999-04-01"}, {"TRACKNUMBER", "07/12"},      {"GENRE", "Post-rock"},
                    {"DISCNUMBER", "2"}};
    options.picturePath = cover;
    const QString source = FlacFactory::make(music + "/A/Song.FLAC", options);
    const QString before = OutputReader::fileSha1(source);

    testing::internal::CaptureStderr();
    const FichierAudioPtr file = addFile(context, source);
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(file);
    EXPECT_EQ(log, "") << "nothing to report";
    const auto input = file->inMetadataDict();
    EXPECT_EQ(input->value("artist").toString(), "Beyoncé");
    EXPECT_EQ(input->value("title").toString(), "Sigur Rós – 東京");
    EXPECT_EQ(input->value("album").toString(), "Album");
    EXPECT_EQ(input->value("date").toString(), "1999-04-01");
    EXPECT_EQ(input->value("tracknumber").toString(), "07/12");
    EXPECT_EQ(input->value("genre").toString(), "Post-rock");
    EXPECT_EQ(input->value("discnumber").toString(), "2");
    EXPECT_EQ(input->value("sample-rate").toString(), "44100");
    EXPECT_EQ(input->value("channels").toString(), "2");
    EXPECT_EQ(input->value("bps").toString(), "16");
    EXPECT_EQ(input->value("md5sum").toString().size(), 32);
    EXPECT_EQ(file->outMetadataDict()->value("title").toString(), "Sigur Rós – 東京")
        << "the output tags start as the input's";
    EXPECT_TRUE(context.messages.contains("Lecture des métadonnées de Song.FLAC"));

    const PersistentURLPtr picture = file->imageTempURL();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->elementType(), 6);
    EXPECT_TRUE(picture->path().startsWith(WorkFolder::pictures() + "/"))
        << "nothing is written into a source folder";
    EXPECT_EQ(QDir(music + "/A").entryList(QDir::Files | QDir::Hidden), QStringList{"Song.FLAC"});
    EXPECT_EQ(OutputReader::fileSha1(picture->path()), OutputReader::fileSha1(cover));
    EXPECT_EQ(OutputReader::fileSha1(source), before) << "the source is never modified";

    // Sources that carry one picture share its exported file, named by its
    // bytes, whatever their names and destinations; another picture has a
    // file of its own.
    TestEnvironment::defaults().setInteger(2, "DestinationType");
    TestEnvironment::defaults().setFolder(music + "/Out", "DestinationDossier");
    options.picturePath = FlacFactory::makePicture(music + "/art/other.jpg", "jpg", 0x20c040);
    const auto first = addFile(context, FlacFactory::make(music + "/B/Song.flac", options));
    const auto second = addFile(context, FlacFactory::make(music + "/C/Song.flac", options));
    ASSERT_TRUE(first->imageTempURL() && second->imageTempURL());
    EXPECT_EQ(first->imageTempURL()->path(), second->imageTempURL()->path());
    EXPECT_NE(first->imageTempURL()->path(), picture->path());
    EXPECT_TRUE(QFile::exists(first->imageTempURL()->path()));
    EXPECT_EQ(QDir(WorkFolder::pictures()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(FlacTagReader, MissingRepeatedAndMultilineTags) {
    TestDatabase context;
    const QString music = TestEnvironment::home() + "/Music";
    FlacFactory::Options options;
    options.tags = {{"TITLE", "Artistry in Rhythm"},
                    {"ALBUM", "Untitled"},
                    {"GENRE", "line one\nline two"},
                    {"DATE", "x"},
                    {"DATE", "1946"}};
    testing::internal::CaptureStderr();
    const auto file = addFile(context, FlacFactory::make(music + "/Tags.flac", options));
    const std::string log = testing::internal::GetCapturedStderr();
    const auto input = file->inMetadataDict();
    EXPECT_FALSE(input->contains("artist"));
    EXPECT_EQ(input->value("title").toString(), "Artistry in Rhythm");
    EXPECT_EQ(input->value("album").toString(), "Untitled");
    EXPECT_EQ(input->value("genre").toString(), "line one\nline two");
    EXPECT_EQ(input->value("date").toString(), "1946");
    EXPECT_EQ(log, "ligne inconnue :\nDATE=1946\n\n");
    EXPECT_EQ(file->imageTempURL(), nullptr) << "no picture, and nothing logged about it";
}

TEST(FlacTagReader, BrokenSourcesAreQueuedAndLeftUntouched) {
    TestDatabase context;
    const QString music = TestEnvironment::home() + "/Music";
    const QString valid = FlacFactory::make(music + "/valid.flac");
    QFile original(valid);
    original.open(QIODevice::ReadOnly);
    const QByteArray bytes = original.readAll();
    const QString truncated = TestEnvironment::writeFile(music + "/truncated.flac", bytes.left(30));
    const QString random =
        TestEnvironment::writeFile(music + "/random.flac", QByteArray(5000, '\x5a'));
    const QString empty = TestEnvironment::writeFile(music + "/empty.flac", QByteArray());
    for (const QString& path : {truncated, random, empty}) {
        const QString before = OutputReader::fileSha1(path);
        testing::internal::CaptureStderr();
        const auto file = addFile(context, path);
        const std::string log = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(file) << path.toStdString();
        EXPECT_EQ(log.rfind("Erreur lecture metadata :\nImpossible de Récupérer Les Métadata\n", 0),
                  0u)
            << log;
        EXPECT_FALSE(file->inMetadataDict()->contains("title"));
        EXPECT_EQ(file->inMetadataDict()->value("fileName").toString(), file->nomElement());
        EXPECT_EQ(OutputReader::fileSha1(path), before);
    }
    EXPECT_EQ(context.queue().countOfFichiersAudio(), 3);
}

TEST(FlacTagReader, MissingMetaflacQueuesWithoutTags) {
    TestDatabase context;
    context.tagReader()->setMetaflacPath(QString());
    const QString source =
        FlacFactory::make(TestEnvironment::home() + "/Music/a.flac",
                          {0.2, 44100, 2, 16, FlacFactory::fullTags(), {}, 0.0, {}});
    testing::internal::CaptureStderr();
    const auto file = addFile(context, source);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Programme metaflac introuvable\n");
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->inMetadataDict()->contains("title"));
    EXPECT_TRUE(context.messages.contains("Programme metaflac introuvable"));
}
