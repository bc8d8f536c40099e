// A pass never loses music: two sources never share an output, a source
// that is away keeps its place, and no program, hung or never started, can
// take the pass or the program down with it.
#include "conversion/ConversionControleur.h"
#include "conversion/ConversionJob.h"
#include "conversion/ExportSession.h"
#include "conversion/FlacStreamInfo.h"
#include "conversion/PublishingJournal.h"
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
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

namespace {
QString music() {
    return TestEnvironment::home() + "/Music";
}

QString source(const QString& relative, double seconds = 0.5) {
    FlacFactory::Options options;
    options.seconds = seconds;
    options.tags = FlacFactory::fullTags(QFileInfo(relative).completeBaseName());
    return FlacFactory::make(music() + "/" + relative, options);
}

FichierAudioPtr queued(GestionnairePileFichier& queue, const QString& path) {
    for (const FichierAudioPtr& file : queue.fichiersAudio()) {
        if (file->elementURL()->path() == path) {
            return file;
        }
    }
    return nullptr;
}

// Every output goes into that one folder.
void outputsInto(const QString& folder) {
    TestEnvironment::defaults().setInteger(2, "DestinationType");
    TestEnvironment::defaults().setFolder(folder, "DestinationDossier");
}
} // namespace

TEST(PassSafety, AnOutputOfThePassIsNeverReplacedByAnotherSourceOfIt) {
    TestDatabase context;
    auto& defaults = TestEnvironment::defaults();
    const QString out = TestEnvironment::makeFolder("Out");
    outputsInto(out);
    defaults.setBool(true, "DestinationEcraserExistant");
    defaults.setBool(true, "DestinationEffacerOriginal");
    const QString first = source("c/song.flac", 0.5);
    const QString second = source("d/song.flac", 0.9);
    const QString third = source("e/other.flac", 0.4);
    // Overwriting is about files that were there before the pass.
    TestEnvironment::writeFile(out + "/other.m4a", "an earlier output");
    for (const QString& path : {first, second, third}) {
        context.queue().ajouterUnFichier(path);
    }
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());

    EXPECT_NEAR(OutputReader::read(out + "/song.m4a").value("length").toDouble(), 0.5, 0.1)
        << "the first source's output stays";
    EXPECT_FALSE(QFile::exists(first)) << "deleted after its own success";
    EXPECT_TRUE(QFile::exists(second)) << "the refused source is kept";
    const FichierAudioPtr refused = queued(context.queue(), second);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->statusConversion(), kStatusConvFiniErreur);
    EXPECT_EQ(refused->failureReason(),
              QString("Le fichier %1/song.m4a est déjà la sortie de %2").arg(out, first));
    EXPECT_NEAR(OutputReader::read(out + "/other.m4a").value("length").toDouble(), 0.4, 0.1)
        << "the pass went on and replaced a file from before it";
    EXPECT_EQ(context.controleur()->passConverted(), 2);
    EXPECT_EQ(context.controleur()->passFailed(), 1);
}

TEST(PassSafety, ASourceThatIsAwayKeepsItsPlaceAndConvertsOnceBack) {
    const QString path = source("Away/track.flac");
    const QString away = TestEnvironment::makeFolder("Elsewhere") + "/track.flac";
    {
        TestDatabase context;
        TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
        context.queue().ajouterUnFichier(path);
        ASSERT_TRUE(QFile::rename(path, away)) << "the drive is unplugged";
        PassRunner pass(context.controleur());
        ASSERT_TRUE(pass.runPass());
        const FichierAudioPtr file = context.queue().fichiersAudio().value(0);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->statusConversion(), kStatusConvFiniErreur);
        EXPECT_EQ(file->failureReason(), QString("Fichier %1 absent").arg(path));
    }
    ASSERT_TRUE(QFile::rename(away, path)) << "and plugged in again";
    TestDatabase restarted;
    ASSERT_EQ(restarted.queue().countOfFichiersAudio(), 1);
    const FichierAudioPtr file = restarted.queue().fichiersAudio().first();
    ASSERT_TRUE(file->elementURL()) << "no nameless ghost";
    EXPECT_EQ(file->elementURL()->path(), path);
    EXPECT_EQ(file->failureReason(), QString("Fichier %1 absent").arg(path))
        << "the reason survives the restart";
    PassRunner pass(restarted.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_EQ(file->statusConversion(), kStatusConvFiniOk);
    EXPECT_TRUE(QFile::exists(music() + "/Away/track.m4a"));
}

TEST(PassSafety, StoppingAFlacThatNeverStartedSignalsNothing) {
    TestDatabase context;
    context.queue().ajouterUnFichier(source("Never/started.flac"));
    context.controleur()->setTools(
        {TestEnvironment::home() + "/no/such/flac", context.controleur()->tools().metaflac});
    // Before its failure is handled, the process has no id: a signal to id
    // 0 would interrupt this very test program.
    context.controleur()->demarrerLaConversion();
    context.controleur()->arreterLaConversion();
    PassRunner::waitFor([] { return false; }, 300);
    EXPECT_EQ(context.queue().fichiersAudio().first()->statusConversion(), kStatusConvPret);
    EXPECT_EQ(context.controleur()->statusConvertisseur(), kStatusConvertisseurArrete);
}

TEST(PassSafety, AHungFlacIsKilledAndThePassGoesOn) {
    TestDatabase context;
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    const QString standIn = TestEnvironment::writeFile(TestEnvironment::home() + "/bin/flac",
                                                       "#!/bin/sh\nexec sleep 600\n");
    QFile::setPermissions(standIn, QFile::permissions(standIn) | QFileDevice::ExeOwner);
    for (const char* name : {"One", "Two"}) {
        context.queue().ajouterUnFichier(source(QString("Hung/%1.flac").arg(name)));
    }
    context.controleur()->setTools({standIn, context.controleur()->tools().metaflac});
    context.controleur()->setStallTimeoutMs(1000);
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass(30000)) << "the pass ends instead of waiting forever";
    for (const FichierAudioPtr& file : context.queue().fichiersAudio()) {
        EXPECT_EQ(file->statusConversion(), kStatusConvFiniErreur);
        EXPECT_EQ(file->failureReason(), "Erreur Decodage flac n'a rien écrit depuis 1 s : arrêté");
    }
    EXPECT_TRUE(TestEnvironment::leftovers(music()).isEmpty());

    // However it progresses, a decode may run twice the music's length, and
    // a minute more.
    const FlacStreamInfo ten = FlacStreamInfo::read(source("Hung/Ten.flac", 10.0));
    EXPECT_EQ(ten.sampleRate, 44100);
    EXPECT_EQ(ten.totalSamples, 441000u);
    EXPECT_EQ(ConversionJob::decodeTimeLimitMs(ten.totalSamples, ten.sampleRate, 0), 60000 + 20000);
    EXPECT_FALSE(
        FlacStreamInfo::read(TestEnvironment::writeFile(music() + "/x.flac", "no")).isValid());
    EXPECT_EQ(ConversionJob::decodeTimeLimitMs(0, 0, 500000), 60000 + 5000);
}

TEST(PassSafety, APublishingACrashInterruptedIsSettledAtTheNextStart) {
    const QString renamed = source("Crash/renamed.flac");
    const QString linked = source("Crash/linked.flac");
    const QString unrenamed = source("Crash/unrenamed.flac");
    const QString older = source("Crash/older.flac");
    {
        TestDatabase context;
        for (const QString& path : {renamed, linked, unrenamed, older}) {
            context.queue().ajouterUnFichier(path);
        }
        // The program ended between noting each publishing and recording
        // its end: one output had reached its name, one was linked onto it
        // but still bore its partial name too, one was still partial, and
        // one was noted by a version whose partial names had no name of
        // their own.
        const auto note = [&](int index, const QString& partial) {
            const FichierAudioPtr file = context.queue().fichiersAudio().at(index);
            context.records().notePublication(file->sqliteid(), file->destinationURL()->path(),
                                              partial);
        };
        note(0, music() + "/Crash/.tmp_0a1b.m4a");
        note(1, music() + "/Crash/.tmp_2c3d.m4a");
        note(2, music() + "/Crash/.tmp_4e5f.m4a");
        note(3, QString());
        TestEnvironment::writeFile(music() + "/Crash/renamed.m4a", "complete");
        TestEnvironment::writeFile(music() + "/Crash/linked.m4a", "complete");
        ASSERT_EQ(::link(QFile::encodeName(music() + "/Crash/linked.m4a").constData(),
                         QFile::encodeName(music() + "/Crash/.tmp_2c3d.m4a").constData()),
                  0);
        TestEnvironment::writeFile(music() + "/Crash/.tmp_4e5f.m4a", "partial");
        TestEnvironment::writeFile(music() + "/Crash/.tmp_older.part.m4a", "partial");
    }
    TestDatabase restarted;
    QStringList left;
    for (const FichierAudioPtr& file : restarted.queue().fichiersAudio()) {
        left << file->elementURL()->path();
        EXPECT_EQ(file->statusConversion(), kStatusConvPret);
    }
    EXPECT_EQ(left, (QStringList{unrenamed, older})) << "the converted files are forgotten";
    EXPECT_TRUE(TestEnvironment::leftovers(music() + "/Crash").isEmpty());
    EXPECT_TRUE(QFile::exists(music() + "/Crash/linked.m4a")) << "the output is the linked file";
    EXPECT_TRUE(QFile::exists(renamed)) << "a source is never deleted on a guess";
    EXPECT_TRUE(QFile::exists(linked));
    EXPECT_TRUE(restarted.records().pendingPublications().isEmpty());
}

TEST(PassSafety, TheFolderAFileWasAddedFromSurvivesARestart) {
    const QString library = TestEnvironment::makeFolder("Music/Library");
    source("Library/Artist/Album/CD 2/07 - Seven.flac");
    const QString out = TestEnvironment::makeFolder("Out");
    auto& defaults = TestEnvironment::defaults();
    defaults.setInteger(3, "DestinationType");
    defaults.setFolder(out, "DestinationDossier");
    {
        TestDatabase context;
        context.queue().ajouterUnDossier(library);
    }
    TestDatabase restarted;
    ASSERT_EQ(restarted.queue().countOfFichiersAudio(), 1);
    EXPECT_EQ(restarted.queue().fichiersAudio().first()->rootFolder(), library);
    PassRunner pass(restarted.controleur());
    ASSERT_TRUE(pass.runPass());
    EXPECT_TRUE(QFile::exists(out + "/Artist/Album/CD 2/07 - Seven.m4a"))
        << "missing folders are made";
}

TEST(PassSafety, ASourceReplacedDuringItsConversionIsNeverDeleted) {
    TestDatabase context;
    auto& defaults = TestEnvironment::defaults();
    defaults.setBool(true, "DestinationEffacerOriginal");
    defaults.setBool(false, "ForgetWhenFinished");
    defaults.setInteger(1, "ConversionsSimultanees");
    const QString byFile = source("Replaced/by file.flac", 20.0);
    const QString byFolder = source("Replaced/by folder.flac", 20.0);
    const QString untouched = source("Replaced/untouched.flac", 0.3);
    const QString replacement = source("Elsewhere/replacement.flac", 0.4);
    const QString replacementHash = OutputReader::fileSha1(replacement);
    for (const QString& path : {byFile, byFolder, untouched}) {
        context.queue().ajouterUnFichier(path);
    }
    PassRunner pass(context.controleur());
    pass.start();
    const auto encoding = [&](const QString& path) {
        return PassRunner::waitFor([&] {
            const FichierAudioPtr file = queued(context.queue(), path);
            return file && file->statusConversion() == kStatusConvEncoursCodage;
        });
    };
    // While each is encoded, another file takes its name, then a folder.
    ASSERT_TRUE(encoding(byFile));
    ASSERT_EQ(
        ::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(byFile).constData()),
        0);
    ASSERT_TRUE(encoding(byFolder));
    ASSERT_TRUE(QFile::remove(byFolder));
    const QString kept = TestEnvironment::writeFile(byFolder + "/inside.txt", "the user's");
    ASSERT_TRUE(pass.waitUntilIdle());

    EXPECT_EQ(OutputReader::fileSha1(byFile), replacementHash) << "the new file is kept";
    EXPECT_TRUE(QFile::exists(kept)) << "a folder is never deleted as a source";
    EXPECT_FALSE(QFile::exists(untouched)) << "an unchanged source goes as asked";
    for (const QString& path : {byFile, byFolder}) {
        EXPECT_EQ(queued(context.queue(), path)->statusConversion(), kStatusConvFiniOk);
        EXPECT_NEAR(
            OutputReader::read(QString(path).replace(".flac", ".m4a")).value("length").toDouble(),
            20.0, 0.1)
            << "what was converted is the file the pass took";
        EXPECT_TRUE(context.messages.contains(
            QString("%1 a changé pendant sa conversion : il n'est pas supprimé").arg(path)))
            << context.messages.join("\n").toStdString();
    }
}

TEST(PassSafety, AFailedFileLeavesNothingUnderItsNameNorFoldersMadeForIt) {
    TestDatabase context;
    auto& defaults = TestEnvironment::defaults();
    const QString out = TestEnvironment::makeFolder("Out");
    outputsInto(out);
    defaults.setBool(true, "DestinationNommerSelonTags");
    defaults.setString("%artist%/%album%/%track% - %title%", "DestinationMotif");
    const QString truncated = source("Broken/truncated.flac", 2.0);
    QFile file(truncated);
    ASSERT_TRUE(file.resize(file.size() * 6 / 10));
    context.queue().ajouterUnFichier(truncated);
    for (int pass = 1; pass <= 2; ++pass) {
        PassRunner runner(context.controleur());
        ASSERT_TRUE(runner.runPass());
        const FichierAudioPtr failed = queued(context.queue(), truncated);
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->statusConversion(), kStatusConvFiniErreur);
        EXPECT_TRUE(failed->failureReason().startsWith("Erreur Decodage"))
            << "pass " << pass << ": " << failed->failureReason().toStdString();
        EXPECT_TRUE(QDir(out).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            << "pass " << pass << ": "
            << QDir(out).entryList(QDir::AllEntries | QDir::Hidden).join(", ").toStdString();
        context.queue().reinitialiserEtatFichiers();
    }
}

TEST(PassSafety, LongNamesConvert) {
    TestDatabase context;
    auto& defaults = TestEnvironment::defaults();
    defaults.setBool(false, "ForgetWhenFinished");
    // A hundred CJK characters: 300 bytes as UTF-8.
    const QString title = QString(100, QChar(0x6771));
    FlacFactory::Options options;
    options.seconds = 0.3;
    options.tags = {{"TITLE", title}, {"ARTIST", "A"}};
    const QString cjk = FlacFactory::make(music() + "/Long/cjk.flac", options);
    const QString named = source("Long/" + QString(245, 'n') + ".flac", 0.3);
    const QString longest = source("Long/" + QString(250, 'o') + ".flac", 0.3);
    const QString out = TestEnvironment::makeFolder("LongOut");
    outputsInto(out);
    defaults.setString("opus", "ConversionCodec");
    defaults.setBool(true, "DestinationNommerSelonTags");
    defaults.setString("%title%", "DestinationMotif");
    context.queue().ajouterUnFichier(cjk);
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    defaults.setBool(false, "DestinationNommerSelonTags");
    context.queue().ajouterUnFichier(named);
    context.queue().ajouterUnFichier(longest);
    ASSERT_TRUE(pass.runPass());

    for (const FichierAudioPtr& file : context.queue().fichiersAudio()) {
        EXPECT_EQ(file->statusConversion(), kStatusConvFiniOk)
            << file->failureReason().toStdString();
    }
    for (const QString& name : QDir(out).entryList(QDir::Files)) {
        EXPECT_LE(name.toUtf8().size(), 255);
        EXPECT_TRUE(name.endsWith(".opus"));
    }
    EXPECT_TRUE(QFile::exists(out + "/" + QString(83, QChar(0x6771)) + ".opus"))
        << "cut at a character boundary to fit 255 bytes";
    EXPECT_TRUE(QFile::exists(out + "/" + QString(245, 'n') + ".opus"));
    EXPECT_TRUE(QFile::exists(out + "/" + QString(250, 'o') + ".opus"));
    EXPECT_TRUE(TestEnvironment::leftovers(out).isEmpty());
}

TEST(PassSafety, ADestinationFolderRemovedMidPassIsSaidToBeGone) {
    TestDatabase context;
    auto& defaults = TestEnvironment::defaults();
    const QString out = TestEnvironment::makeFolder("Vanishing/Out");
    outputsInto(out);
    defaults.setBool(false, "ForgetWhenFinished");
    const QString path = source("Gone/long.flac", 20.0);
    context.queue().ajouterUnFichier(path);
    PassRunner pass(context.controleur());
    pass.start();
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return context.queue().fichiersAudio().first()->statusConversion() ==
               kStatusConvEncoursCodage;
    }));
    ASSERT_TRUE(QDir(out).removeRecursively());
    ASSERT_TRUE(pass.waitUntilIdle());
    const FichierAudioPtr file = context.queue().fichiersAudio().first();
    EXPECT_EQ(file->statusConversion(), kStatusConvFiniErreur);
    EXPECT_TRUE(file->failureReason().contains(
        QString("Le dossier %1 a disparu pendant la conversion").arg(out)))
        << file->failureReason().toStdString();
    EXPECT_TRUE(QFile::exists(path));
}

TEST(PassSafety, SourcesAreOpenedOnlyForReading) {
    const QString path = source("ReadOnly/song.flac", 0.3);
    // Read-only, as a library on a share the user may only read.
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QFile::setPermissions(QFileInfo(path).absolutePath(),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                              QFileDevice::ExeOther);
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    // Closing a file opened for writing is told even when nothing was written:
    // root may open a read-only file so.
    ASSERT_GE(::inotify_add_watch(watcher, QFile::encodeName(path).constData(),
                                  IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB),
              0);
    const QString out = TestEnvironment::makeFolder("ReadOnlyOut");
    {
        TestDatabase context;
        outputsInto(out);
        context.queue().ajouterUnFichier(path);
        ASSERT_EQ(context.queue().fichiersAudio().first()->sourceTags().first("TITLE"), "song");
        PassRunner pass(context.controleur());
        ASSERT_TRUE(pass.runPass());
        EXPECT_EQ(context.controleur()->passConverted(), 1);
    }
    char events[4096];
    const ssize_t read = ::read(watcher, events, sizeof events);
    ::close(watcher);
    EXPECT_LE(read, 0) << "a source was opened for writing";
    EXPECT_TRUE(QFile::exists(out + "/song.m4a"));
    QFile::setPermissions(QFileInfo(path).absolutePath(), QFileDevice::Permissions(0x7755));
}
