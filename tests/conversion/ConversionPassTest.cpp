#include "conversion/ConversionControleur.h"

#include "conversion/ExternalTools.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {
QString music() {
    return TestEnvironment::home() + "/Music";
}

QString taggedSource(const QString& name, double seconds = 1.0, int rate = 44100, int bits = 16,
                     int channels = 2) {
    FlacFactory::Options options;
    options.seconds = seconds;
    options.sampleRate = rate;
    options.bitsPerSample = bits;
    options.channels = channels;
    options.tags = FlacFactory::fullTags(name);
    options.picturePath = FlacFactory::makePicture(music() + "/art/" + name + ".jpg", "jpg");
    return FlacFactory::make(music() + "/" + name + ".flac", options);
}

QStringList files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void expectTags(const QJsonObject& tags, const QString& title) {
    EXPECT_EQ(tags.value("title").toString(), title);
    EXPECT_EQ(tags.value("artist").toString(), "The Artist");
    EXPECT_EQ(tags.value("album").toString(), "The Album");
    EXPECT_EQ(tags.value("date").toString(), "2019");
    EXPECT_EQ(tags.value("genre").toString(), "Jazz");
    EXPECT_EQ(tags.value("track").toString(), "3");
}
} // namespace

struct CodecCase {
    const char* codec;
    const char* container;
    const char* audio;
    bool cover;
    bool lossless;
};

void PrintTo(const CodecCase& value, std::ostream* out) {
    *out << value.codec;
}

class EveryCodec : public testing::TestWithParam<CodecCase> {};

TEST_P(EveryCodec, WritesTheContainerTagsCoverAndSamples) {
    const CodecCase expected = GetParam();
    TestDatabase context;
    TestEnvironment::defaults().setString(expected.codec, "ConversionCodec");
    const QString source16 = taggedSource("Sixteen");
    const QString source24 = taggedSource("TwentyFour", 0.7, 48000, 24);
    context.queue().ajouterUnFichier(source16);
    context.queue().ajouterUnFichier(source24);
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(context.queue().countOfFichiersAudio(), 0) << "converted files are forgotten";

    for (const auto& [source, bits, rate] :
         {std::tuple{source16, 16, 44100}, std::tuple{source24, 24, 48000}}) {
        const QString output = QFileInfo(source).path() + "/" +
                               QFileInfo(source).completeBaseName() + "." + expected.codec;
        ASSERT_TRUE(QFile::exists(output)) << output.toStdString();
        const QJsonObject read = OutputReader::read(output);
        EXPECT_EQ(read.value("container").toString(), expected.container);
        const QString audio =
            QString(expected.audio) == "pcm_twos" && bits == 24 ? "pcm_in24" : expected.audio;
        EXPECT_EQ(read.value("codec").toString(), audio);
        EXPECT_EQ(read.value("sample_rate").toInt(), rate);
        EXPECT_EQ(read.value("channels").toInt(), 2);
        expectTags(read.value("tags").toObject(), QFileInfo(source).completeBaseName());
        if (expected.cover) {
            EXPECT_EQ(read.value("cover").toObject().value("sha1").toString(),
                      OutputReader::fileSha1(music() + "/art/" +
                                             QFileInfo(source).completeBaseName() + ".jpg"));
        } else {
            EXPECT_TRUE(read.value("cover").isNull());
        }
        if (expected.lossless) {
            EXPECT_EQ(read.value("bits").toInt(), bits);
            EXPECT_EQ(read.value("pcm_sha1").toString(), OutputReader::flacPcmSha1(source))
                << "the samples flac decodes";
        }
    }
    for (const QString& name : files(music())) {
        EXPECT_FALSE(name.startsWith(".tmp_")) << "left behind: " << name.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Conversion, EveryCodec,
                         testing::Values(CodecCase{"m4a", "MP4:M4A", "mp4a.40.2", true, false},
                                         CodecCase{"aac", "MP4:isom", "mp4a.40.2", true, false},
                                         CodecCase{"mp3", "MP3", "mp3", true, false},
                                         CodecCase{"aif", "AIFF", "pcm_NONE", true, true},
                                         CodecCase{"aifc", "AIFC", "pcm_twos", true, true},
                                         CodecCase{"wav", "WAVE", "pcm_le", false, true},
                                         CodecCase{"caf", "CAF", "pcm_be", false, true}),
                         [](const testing::TestParamInfo<CodecCase>& info) {
                             return std::string(info.param.codec);
                         });

TEST(ConversionPass, SampleRateChannelsAndBitRateAreApplied) {
    TestDatabase context;
    auto& defaults = TestEnvironment::defaults();
    defaults.setString("m4a", "ConversionCodec");
    defaults.setInteger(48000, "ConversionFrequence");
    defaults.setInteger(1, "ConversionCanaux");
    context.queue().ajouterUnFichier(taggedSource("Mono"));
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    QJsonObject read = OutputReader::read(music() + "/Mono.m4a");
    EXPECT_EQ(read.value("sample_rate").toInt(), 48000);
    EXPECT_EQ(read.value("channels").toInt(), 1);

    // MP3 above 48 kHz goes to 48 kHz, and the bit rate is the nearest LAME rate.
    defaults.setString("mp3", "ConversionCodec");
    defaults.setInteger(-1, "ConversionFrequence");
    defaults.setInteger(-1, "ConversionCanaux");
    defaults.setInteger(131072, "ConversionDebit");
    context.queue().ajouterUnFichier(taggedSource("High", 0.5, 96000, 24));
    ASSERT_TRUE(pass.runPass());
    read = OutputReader::read(music() + "/High.mp3");
    EXPECT_EQ(read.value("sample_rate").toInt(), 48000);
    EXPECT_NEAR(read.value("bitrate").toInt(), 128000, 1000);

    // A rate no AAC encoder takes (stored by an older version) converts at the
    // nearest one, and the message line says so.
    defaults.setString("aac", "ConversionCodec");
    defaults.setInteger(32050, "ConversionFrequence");
    context.queue().ajouterUnFichier(taggedSource("Odd"));
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(OutputReader::read(music() + "/Odd.aac").value("sample_rate").toInt(), 32000);
    EXPECT_TRUE(context.messages.contains(
        "Fréquence de 32050 Hz impossible en aac : conversion à 32000 Hz"));
}

TEST(ConversionPass, ExistingDestinationsAreKeptUnlessOverwriting) {
    TestDatabase context;
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    const QString source = taggedSource("Kept");
    const QString destination =
        TestEnvironment::writeFile(music() + "/Kept.m4a", "the user's own file");
    context.queue().ajouterUnFichier(source);
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    const auto file = context.queue().fichiersAudio().first();
    EXPECT_EQ(file->statusConversion(), kStatusConvFiniErreur);
    EXPECT_EQ(file->failureReason(), "Le fichier Kept.m4a existe déjà");
    QFile kept(destination);
    kept.open(QIODevice::ReadOnly);
    EXPECT_EQ(kept.readAll(), "the user's own file");

    TestEnvironment::defaults().setBool(true, "DestinationEcraserExistant");
    context.queue().reinitialiserEtatFichiers();
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(file->statusConversion(), kStatusConvFiniOk);
    EXPECT_EQ(OutputReader::read(destination).value("codec").toString(), "mp4a.40.2");
}

TEST(ConversionPass, FailedFilesStayInErrorAndThePassGoesOn) {
    TestDatabase context;
    TestEnvironment::defaults().setString("wav", "ConversionCodec");
    const QString first = taggedSource("First", 0.3);
    QFile valid(taggedSource("Broken", 0.3));
    valid.open(QIODevice::ReadOnly);
    const QByteArray bytes = valid.readAll();
    valid.close();
    // A valid header with the audio cut short: tags read, decoding fails.
    TestEnvironment::writeFile(music() + "/Broken.flac", bytes.left(bytes.size() / 2));
    const QString brokenHash = OutputReader::fileSha1(music() + "/Broken.flac");
    const QString last = taggedSource("Last", 0.3);
    // A folder where the destination should go: the export cannot write it.
    const QString blocked = taggedSource("Sub/Blocked", 0.3);
    QDir().mkpath(music() + "/Sub/Blocked.wav");
    TestEnvironment::defaults().setBool(true, "DestinationEcraserExistant");
    for (const QString& path : {first, music() + "/Broken.flac", blocked, last}) {
        context.queue().ajouterUnFichier(path);
    }

    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    const auto remaining = context.queue().fichiersAudio();
    ASSERT_EQ(remaining.size(), 2) << "only the converted files are forgotten";
    EXPECT_EQ(remaining[0]->nomElement(), "Broken.flac");
    EXPECT_EQ(remaining[0]->statusConversion(), kStatusConvFiniErreur);
    EXPECT_TRUE(remaining[0]->failureReason().startsWith("Erreur Decodage"))
        << remaining[0]->failureReason().toStdString();
    EXPECT_EQ(remaining[1]->nomElement(), "Blocked.flac");
    EXPECT_EQ(remaining[1]->statusConversion(), kStatusConvFiniErreur);
    EXPECT_FALSE(remaining[1]->failureReason().isEmpty());
    EXPECT_TRUE(QFile::exists(music() + "/First.wav"));
    EXPECT_TRUE(QFile::exists(music() + "/Last.wav"));
    EXPECT_FALSE(QFile::exists(music() + "/Broken.wav"));
    EXPECT_EQ(OutputReader::fileSha1(music() + "/Broken.flac"), brokenHash);
    for (const QString& name : files(music()) + files(music() + "/Sub")) {
        EXPECT_FALSE(name.startsWith(".tmp_") && !name.endsWith(".jpg")) << name.toStdString();
    }
    EXPECT_EQ(pass.states.last(), kStatusConvertisseurArrete);
}

TEST(ConversionPass, SourceIsDeletedOnlyAfterSuccess) {
    TestDatabase context;
    TestEnvironment::defaults().setBool(true, "DestinationEffacerOriginal");
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    const QString good = taggedSource("Good", 0.3);
    const QString bad = TestEnvironment::writeFile(music() + "/Bad.flac", "not flac at all");
    context.queue().ajouterUnFichier(good);
    context.queue().ajouterUnFichier(bad);
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_FALSE(QFile::exists(good));
    EXPECT_TRUE(QFile::exists(music() + "/Good.m4a"));
    EXPECT_TRUE(QFile::exists(bad)) << "a failed file keeps its source";
}

TEST(ConversionPass, StopDuringDecodingOrEncodingChangesNothingAfterwards) {
    TestDatabase context;
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    const QString source = taggedSource("Long", 20.0);
    context.queue().ajouterUnFichier(source);
    const auto file = context.queue().fichiersAudio().first();
    PassRunner pass(context.controleur());

    pass.start();
    EXPECT_EQ(file->statusConversion(), kStatusConvEncoursDecodage);
    context.controleur()->arreterLaConversion();
    EXPECT_EQ(file->statusConversion(), kStatusConvPret);
    ASSERT_TRUE(pass.waitUntilIdle());
    // The interrupted flac's late end must not start an encoding.
    PassRunner::waitFor([] { return false; }, 300);
    EXPECT_EQ(file->statusConversion(), kStatusConvPret);
    EXPECT_EQ(context.controleur()->statusConvertisseur(), kStatusConvertisseurArrete);
    EXPECT_FALSE(QFile::exists(file->tempDestinationURL()->path()));
    EXPECT_FALSE(QFile::exists(music() + "/Long.m4a"));

    context.queue().remettreAuDebut();
    pass.start();
    ASSERT_TRUE(PassRunner::waitFor(
        [&] { return context.controleur()->statusConvertisseur() == kStatusConvertisseurCodage; }));
    context.controleur()->arreterLaConversion();
    ASSERT_TRUE(pass.waitUntilIdle());
    PassRunner::waitFor([] { return false; }, 300);
    EXPECT_EQ(file->statusConversion(), kStatusConvPret);
    EXPECT_FALSE(QFile::exists(music() + "/Long.m4a"));
    for (const QString& name : files(music())) {
        EXPECT_FALSE(name.endsWith(".aif") || name.contains(".part")) << name.toStdString();
    }
    EXPECT_EQ(pass.messages.last(), "Conversion Terminée.");
}

TEST(ConversionPass, FinishedFilesAreNotConvertedAgainUntilReset) {
    TestDatabase context;
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    TestEnvironment::defaults().setBool(true, "DestinationEcraserExistant");
    context.queue().ajouterUnFichier(taggedSource("One", 0.3));
    context.queue().ajouterUnFichier(taggedSource("Two", 0.3));
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(context.queue().countOfPretsFichiersAudio(), 0);
    const QFileInfo first(music() + "/One.m4a");
    const QDateTime written = first.lastModified();

    context.messages.clear();
    ASSERT_TRUE(pass.runPass());
    EXPECT_FALSE(context.messages.join('\n').contains("Decodage"))
        << "a second pass converts nothing";
    EXPECT_EQ(QFileInfo(music() + "/One.m4a").lastModified(), written);

    // A file added during a pass does not send it back over finished files.
    context.queue().ajouterUnFichier(taggedSource("Three", 0.3));
    context.queue().ajouterUnFichier(taggedSource("Four", 0.3));
    context.messages.clear();
    pass.start();
    context.queue().ajouterUnFichier(taggedSource("Five", 0.3));
    ASSERT_TRUE(pass.waitUntilIdle());
    const QString log = context.messages.join('\n');
    EXPECT_FALSE(log.contains("Decodage One.flac"));
    EXPECT_TRUE(log.contains("Decodage Three.flac"));
    EXPECT_TRUE(log.contains("Decodage Five.flac"));

    context.queue().reinitialiserEtatFichiers();
    context.messages.clear();
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(context.messages.filter("Decodage").size(), 5) << "after a reset every file converts";
}

TEST(ConversionPass, MissingFlacEndsEachFileInErrorWithoutStopping) {
    TestDatabase context;
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    context.controleur()->setTools({QString(), context.controleur()->tools().metaflac});
    context.queue().ajouterUnFichier(taggedSource("A", 0.2));
    context.queue().ajouterUnFichier(taggedSource("B", 0.2));
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    for (const auto& file : context.queue().fichiersAudio()) {
        EXPECT_EQ(file->statusConversion(), kStatusConvFiniErreur);
        EXPECT_EQ(file->failureReason(), "Programme flac introuvable");
    }
    EXPECT_TRUE(context.messages.contains("Programme flac introuvable"));
}

TEST(ConversionPass, PreservedDateReachesTheDestination) {
    TestDatabase context;
    TestEnvironment::defaults().setBool(true, "ConversionPreserverDate");
    const QString source = taggedSource("Dated", 0.3);
    QFile file(source);
    file.open(QIODevice::ReadWrite);
    const QDateTime past = QDateTime::fromSecsSinceEpoch(1000000000);
    file.setFileTime(past, QFileDevice::FileModificationTime);
    file.close();
    context.queue().ajouterUnFichier(source);
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(QFileInfo(music() + "/Dated.m4a").lastModified(), past);
}

TEST(ConversionPass, EmptyQueueStopsAtOnceAndProgressStaysInRange) {
    TestDatabase context;
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(pass.messages, QStringList{"Conversion Terminée."});
    EXPECT_EQ(pass.states, QList<qint32>{kStatusConvertisseurArrete});
    EXPECT_FLOAT_EQ(context.controleur()->pourcent(), 0.0f);
    context.controleur()->arreterLaConversion();
    EXPECT_EQ(context.controleur()->statusConvertisseur(), kStatusConvertisseurArrete);
}

TEST(ConversionPass, ATrackOfADiscImageIsItsSamplesAloneAndKeepsTheImage) {
    TestDatabase context;
    TestEnvironment::defaults().setString("wav", "ConversionCodec");
    TestEnvironment::defaults().setBool(true, "DestinationEffacerOriginal");
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    FlacFactory::Options options;
    options.seconds = 3;
    options.noise = 0.2;
    const QString image = FlacFactory::make(music() + "/Image.flac", options);
    context.queue().ajouterUnFichier(image);
    const FichierAudioPtr track = context.queue().fichierAt(0);
    ASSERT_TRUE(track);
    track->setImageTrack({2, 44100 + 588, 2 * 44100, "02 - Second", QString(), QString()});
    track->save();

    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(track->statusConversion(), kStatusConvFiniOk) << track->failureReason().toStdString();
    EXPECT_TRUE(QFile::exists(image)) << "an image's track never deletes it";
    EXPECT_EQ(track->destinationURL()->path(), music() + "/02 - Second.wav")
        << "a track's output takes the track's name";

    // The output's samples are the image's, from the first to before the end.
    const auto samples = [](const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        return bytes.mid(bytes.indexOf("data") + 8);
    };
    QProcess decode;
    decode.start(ExternalTools::found().flac,
                 {"-d", "-s", image, "-o", TestEnvironment::home() + "/whole.wav"});
    ASSERT_TRUE(decode.waitForFinished());
    const QByteArray whole = samples(TestEnvironment::home() + "/whole.wav");
    const QByteArray output = samples(track->destinationURL()->path());
    EXPECT_EQ(output.size(), (44100 - 588) * 4);
    EXPECT_TRUE(output == whole.mid((44100 + 588) * 4, (44100 - 588) * 4));
}

TEST(ConversionPass, FilesFoundUpToDateAreCountedApartAndLeaveTheListLikeConvertedOnes) {
    UserDefaults& defaults = TestEnvironment::defaults();
    defaults.setInteger(3, "DestinationType");
    defaults.setFolder(TestEnvironment::home() + "/Phone", "DestinationDossier");
    defaults.setString("mp3", "ConversionCodec");
    TestDatabase context;
    taggedSource("First");
    taggedSource("Second");
    context.fileAdder()->add({music()});
    context.fileAdder()->waitUntilDone();
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(context.controleur()->passConverted(), 2);
    EXPECT_EQ(context.queue().countOfFichiersAudio(), 0);

    context.fileAdder()->add({music()});
    context.fileAdder()->waitUntilDone();
    ASSERT_EQ(context.queue().countOfFichiersAudio(), 2);
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(context.controleur()->passConverted(), 0);
    EXPECT_EQ(context.controleur()->passUpToDate(), 2);
    EXPECT_EQ(context.controleur()->passFailed(), 0);
    EXPECT_EQ(context.queue().countOfFichiersAudio(), 0) << "up to date files leave the list";
    EXPECT_TRUE(
        context.messages.contains("Conversion terminée : 0 convertis, 2 à jour, 0 en erreur"))
        << context.messages.join('\n').toStdString();
}

TEST(ConversionPass, PortableNamesMakeHostileTitlesSafeAndCaseOnlyDifferencesOneFile) {
    UserDefaults& defaults = TestEnvironment::defaults();
    defaults.setInteger(2, "DestinationType");
    defaults.setFolder(TestEnvironment::home() + "/Stick", "DestinationDossier");
    defaults.setBool(true, "DestinationNommerSelonTags");
    defaults.setString("%artist%/%title%", "DestinationMotif");
    defaults.setString("mp3", "ConversionCodec");
    defaults.setInteger(1, "NomsCompatibles");
    defaults.setBool(false, "ForgetWhenFinished");
    TestDatabase context;
    FlacFactory::Options options;
    options.tags = {{"ARTIST", "AUX"}, {"TITLE", "Who: Are? You* \"x\" <y> |z|"}};
    FlacFactory::make(music() + "/A/1.flac", options);
    options.tags = {{"ARTIST", "Band"}, {"TITLE", "Song"}};
    FlacFactory::make(music() + "/A/2.flac", options);
    options.tags = {{"ARTIST", "BAND"}, {"TITLE", "SONG"}};
    FlacFactory::make(music() + "/A/3.flac", options);
    context.fileAdder()->add({music() + "/A"});
    context.fileAdder()->waitUntilDone();
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_TRUE(
        QFile::exists(TestEnvironment::home() + "/Stick/_AUX/Who - Are_ You_ 'x' _y_ _z_.mp3"))
        << files(TestEnvironment::home() + "/Stick/_AUX").join(", ").toStdString();
    EXPECT_EQ(context.controleur()->passConverted(), 2);
    const FichierAudioPtr second = context.queue().fichierAt(2);
    EXPECT_EQ(second->statusConversion(), kStatusConvFiniErreur)
        << "Band/Song and BAND/SONG are one file where case is not told apart";
    EXPECT_TRUE(second->failureReason().contains("est déjà la sortie de"));
    const QJsonObject read =
        OutputReader::read(TestEnvironment::home() + "/Stick/_AUX/Who - Are_ You_ 'x' _y_ _z_.mp3");
    EXPECT_EQ(read.value("tags").toObject().value("title").toString(),
              "Who: Are? You* \"x\" <y> |z|")
        << "tag values inside the file are untouched";
}
