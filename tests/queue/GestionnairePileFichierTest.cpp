#include "queue/GestionnairePileFichier.h"

#include "conversion/FileAdder.h"
#include "conversion/FlacTagReader.h"
#include "conversion/WorkFolder.h"
#include "support/FlacFactory.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>

namespace {
QString sourceFile(const QString& name) {
    return TestEnvironment::writeFile(TestEnvironment::home() + "/Music/" + name);
}

QStringList queuedNames(GestionnairePileFichier& queue) {
    QStringList names;
    for (const auto& record : queue.fichiersAudio()) {
        names << record->nomElement();
    }
    return names;
}

void fill(GestionnairePileFichier& queue, int count) {
    for (int index = 0; index < count; ++index) {
        queue.ajouterUnFichier(sourceFile(QString("f%1.flac").arg(index)));
    }
}
} // namespace

TEST(Queue, KeepsFlacFilesRegistersImagesAndIgnoresTheRest) {
    TestDatabase context;
    auto& queue = context.queue();
    queue.ajouterUnFichier(sourceFile("Loud.FLAC"));
    queue.ajouterUnFichier(sourceFile("Cover.JPG"));
    queue.ajouterUnFichier(sourceFile("notes.txt"));
    queue.ajouterUnFichier(TestEnvironment::home() + "/Music/missing.flac");
    EXPECT_EQ(queuedNames(queue), QStringList{"Loud.FLAC"});
    const auto images =
        context.database()->outputDBrequest("SELECT furl FROM fileURL WHERE ftype = 5");
    ASSERT_EQ(images.size(), 1);
    EXPECT_TRUE(images[0].value("furl").toString().endsWith("/Cover.JPG"));

    // The same source again: the existing record stays, nothing is logged.
    const auto first = queue.fichiersAudio().first();
    first->outMetadataDict()->insert("title", "Edited");
    first->save();
    testing::internal::CaptureStderr();
    queue.ajouterUnFichier(TestEnvironment::home() + "/Music/Loud.FLAC");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(queue.countOfFichiersAudio(), 1);
    EXPECT_EQ(queue.fichiersAudio().first(), first);
    EXPECT_EQ(context.count("audioFile"), 1);
    EXPECT_EQ(context.count("audioMetadata"), 2);

    GestionnairePileFichier reloaded(context.records());
    reloaded.loadFromSqlite();
    ASSERT_EQ(reloaded.countOfFichiersAudio(), 1);
    EXPECT_EQ(reloaded.fichiersAudio().first()->outMetadataDict()->value("title").toString(),
              "Edited");
}

TEST(Queue, EmptinessNoticesAndTables) {
    TestDatabase context;
    auto& queue = context.queue();
    sourceFile("pic.png");
    queue.ajouterUnFichier(TestEnvironment::home() + "/Music/pic.png");
    queue.loadFromSqlite();
    EXPECT_TRUE(context.notices.isEmpty()) << "an empty start tells nobody";
    EXPECT_EQ(context.count("fileURL"), 0) << "and empties the tables, image records included";

    queue.ajouterUnFichier(sourceFile("a.flac"));
    queue.ajouterUnFichier(sourceFile("b.flac"));
    EXPECT_EQ(context.notices, QList<bool>{true});
    queue.supprimerLesFichiersDansLindex({0, 1}, false);
    EXPECT_EQ(context.notices, (QList<bool>{true, false}));
    EXPECT_EQ(
        context.count("audioFile") + context.count("audioMetadata") + context.count("fileURL"), 0);

    EXPECT_EQ(queue.ajouterUnDossier(TestEnvironment::makeFolder("Empty")), -1);
    EXPECT_EQ(context.notices.size(), 2);
    const QString folder = TestEnvironment::makeFolder("Album");
    TestEnvironment::writeFile(folder + "/1.flac");
    TestEnvironment::writeFile(folder + "/CD2/2.flac");
    EXPECT_EQ(queue.ajouterUnDossier(folder), 2);
    // The first file tells the view, and the folder's end tells it again.
    EXPECT_EQ(context.notices, (QList<bool>{true, false, true, true}));
    testing::internal::CaptureStderr();
    queue.ajouterUnDossier(folder + "/1.flac");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Impossible d'obtenir le contenu récursif de " + (folder + "/1.flac").toStdString() +
                  "\n");
}

TEST(Queue, EnumerationIndexAndRemovalRules) {
    TestDatabase context;
    auto& queue = context.queue();
    fill(queue, 6);
    for (int taken = 0; taken < 6; ++taken) {
        ASSERT_TRUE(queue.nextObject());
    }
    EXPECT_EQ(queue.nextObject(), nullptr);
    EXPECT_EQ(queue.enumeratorIndex(), 6);
    EXPECT_EQ(queue.fichierCourant(), nullptr);

    auto atIndex = [&](int index) {
        queue.remettreAuDebut();
        for (int step = 0; step < index; ++step) {
            queue.nextObject();
        }
    };
    atIndex(3);
    queue.supprimerFichierAudio(queue.fichiersAudio().at(1));
    EXPECT_EQ(queue.enumeratorIndex(), 2);
    atIndex(3);
    queue.supprimerFichierAudio(queue.fichiersAudio().at(3));
    EXPECT_EQ(queue.enumeratorIndex(), 2);
    atIndex(3);
    EXPECT_EQ(queue.countOfFichiersAudio(), 4);
    auto survivor = queue.fichiersAudio().at(3);
    queue.fichiersAudio().at(3)->setStatusConversion(kStatusConvFiniOk);
    // Removing a record past the index leaves the index alone.
    fill(queue, 1);
    atIndex(3);
    queue.supprimerFichierAudio(queue.fichiersAudio().at(4));
    EXPECT_EQ(queue.enumeratorIndex(), 3);

    auto stranger = queue.fichiersAudio().first();
    queue.supprimerFichierAudio(stranger);
    testing::internal::CaptureStderr();
    queue.supprimerFichierAudio(stranger);
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind(
                  "Impossible de supprimer Fichier : f0.flac car absent de\n", 0),
              0u);

    // A re-ordered list keeps the index; an addition rewinds it.
    atIndex(1);
    auto list = queue.fichiersAudio();
    std::reverse(list.begin(), list.end());
    queue.setFichiersAudio(list);
    EXPECT_EQ(queue.enumeratorIndex(), 1);
    EXPECT_EQ(queue.nextObject(), list.at(1));
    queue.ajouterUnFichier(sourceFile("late.flac"));
    EXPECT_EQ(queue.enumeratorIndex(), 0);
    EXPECT_TRUE(queue.fichiersAudio().contains(survivor));
}

TEST(Queue, FinishedOnlyRemovalProgressCountsAndReset) {
    TestDatabase context;
    auto& queue = context.queue();
    fill(queue, 4);
    const auto list = queue.fichiersAudio();
    list[0]->setStatusConversion(kStatusConvFiniOk);
    list[1]->setStatusConversion(kStatusConvFiniErreur);
    list[3]->setStatusConversion(kStatusConvFiniOk);
    EXPECT_EQ(queue.countOfPretsFichiersAudio(), 1);

    queue.nextObject();
    queue.nextObject();
    EXPECT_FLOAT_EQ(queue.pourcent(), 0.5f);
    list[2]->setStatusConversion(kStatusConvEncoursCodage);
    EXPECT_FLOAT_EQ(queue.pourcent(), 0.625f);

    list[1]->setFailureReason("Erreur Decodage : ce n'est pas un fichier FLAC");
    list[1]->save();
    queue.reinitialiserEtatFichiers();
    EXPECT_EQ(queue.enumeratorIndex(), 0);
    EXPECT_EQ(queue.countOfPretsFichiersAudio(), 4);
    const auto stored = context.database()->outputDBrequest("SELECT status FROM audioFile");
    EXPECT_EQ(stored.size(), 4);
    for (const auto& row : stored) {
        EXPECT_EQ(row.value("status").toInt(), 1) << "a reset is saved at once";
    }
    EXPECT_EQ(context.count("audioFailure"), 0) << "with the reasons that no longer stand";

    list[0]->setStatusConversion(kStatusConvFiniOk);
    list[1]->setStatusConversion(kStatusConvFiniErreur);
    list[3]->setStatusConversion(kStatusConvFiniOk);
    queue.supprimerLesFichiersDansLindex({0, 1, 2, 3}, true);
    EXPECT_EQ(queuedNames(queue), (QStringList{"f1.flac", "f2.flac"}));
    EXPECT_EQ(context.count("audioFile"), 2);
    EXPECT_FLOAT_EQ(GestionnairePileFichier(context.records()).pourcent(), 0.0f);
}

TEST(Queue, LoadsWhatWasQueuedInOrder) {
    TestDatabase context;
    fill(context.queue(), 3);
    GestionnairePileFichier reloaded(context.records());
    reloaded.loadFromSqlite();
    EXPECT_EQ(queuedNames(reloaded), (QStringList{"f0.flac", "f1.flac", "f2.flac"}));
    EXPECT_EQ(reloaded.enumeratorIndex(), 0);
}

TEST(Queue, OneFileIsQueuedOnceWhateverPathNamesIt) {
    TestDatabase context;
    auto& queue = context.queue();
    const QString album = TestEnvironment::makeFolder("Music/A");
    const QString real = TestEnvironment::writeFile(album + "/one.flac");
    QFile::link(album, TestEnvironment::home() + "/Music/Linked");
    QFile::link(real, TestEnvironment::home() + "/Music/alias.flac");
    for (const QString& path : {album + "/./one.flac", album + "//one.flac",
                                TestEnvironment::home() + "/Music/Linked/one.flac",
                                TestEnvironment::home() + "/Music/alias.flac", real}) {
        queue.ajouterUnFichier(path);
    }
    queue.ajouterUnDossier(TestEnvironment::home() + "/Music/Linked");
    ASSERT_EQ(queue.countOfFichiersAudio(), 1);
    EXPECT_EQ(queue.fichiersAudio().first()->elementURL()->path(), real);
    EXPECT_EQ(context.count("audioFile"), 1);
}

namespace {
QString pictureFile(const QString& name, int agedSeconds) {
    const QString path = TestEnvironment::writeFile(WorkFolder::pictures() + "/" +
                                                    FlacTagReader::picturePrefix() + name);
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-agedSeconds),
                     QFileDevice::FileModificationTime);
    return path;
}

void usePicture(const FichierAudioPtr& record, const QString& picture) {
    auto url = PersistentURL::persistentURLwithURL(picture);
    url->setElementType(kElementTempImage);
    record->setImageTempURL(url);
    record->save();
}
} // namespace

TEST(Queue, LeavingFilesTakeTheirLeftoversAndThePicturesNoneShares) {
    TestDatabase context;
    auto& queue = context.queue();
    fill(queue, 4);
    const auto files = queue.fichiersAudio();
    const QString shared = pictureFile("shared.jpg", 3600);
    const QString own = pictureFile("own.jpg", 3600);
    const QString takenUp = pictureFile("takenup.jpg", 3600);
    usePicture(files.at(0), shared);
    usePicture(files.at(1), shared);
    usePicture(files.at(2), own);
    usePicture(files.at(3), takenUp);
    const QString decoded = TestEnvironment::writeFile(files.at(0)->tempDestinationPath());

    queue.supprimerFichierAudio(files.at(0));
    queue.removal().waitForDone();
    EXPECT_FALSE(QFile::exists(decoded)) << "what its conversion left beside its destination";
    EXPECT_TRUE(QFile::exists(shared)) << "another queued file uses it";

    queue.supprimerLesFichiersDansLindex({0, 1}, false);
    queue.removal().waitForDone();
    EXPECT_FALSE(QFile::exists(shared)) << "its last user left";
    EXPECT_FALSE(QFile::exists(own));

    // While files are being read, one of them may take the picture up again.
    queue.holdPictureRemoval(true);
    queue.supprimerLesFichiersDansLindex({0}, false);
    queue.removal().waitForDone();
    EXPECT_TRUE(QFile::exists(takenUp)) << "held";
    QFile file(takenUp);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
    queue.holdPictureRemoval(false);
    queue.removal().waitForDone();
    EXPECT_TRUE(QFile::exists(takenUp)) << "written again since it was given up";
    EXPECT_EQ(queue.countOfFichiersAudio(), 0);
}

TEST(Queue, StartUpSweepsPicturesNoQueuedFileUses) {
    QString used;
    QString stray;
    QString fresh;
    {
        TestDatabase context;
        fill(context.queue(), 1);
        used = pictureFile("used.jpg", 3600);
        stray = pictureFile("stray.jpg", 3600);
        usePicture(context.queue().fichiersAudio().at(0), used);
    }
    // Written by a reading that started with the window, after the sweep.
    fresh = pictureFile("fresh.jpg", -10);
    const QString other = TestEnvironment::writeFile(WorkFolder::pictures() + "/notes.txt");
    TestDatabase again;
    again.queue().removal().waitForDone();
    EXPECT_TRUE(QFile::exists(used));
    EXPECT_FALSE(QFile::exists(stray)) << "no queued file uses it";
    EXPECT_TRUE(QFile::exists(fresh)) << "written since the sweep began";
    EXPECT_TRUE(QFile::exists(other)) << "not a picture of ours";
}

TEST(FileList, AFolderAddedAgainKeepsItsFilesAsTheyAreAndAddsOnlyNewOnes) {
    TestDatabase context;
    const QString folder = TestEnvironment::makeFolder("Music/Album");
    FlacFactory::make(folder + "/One.flac");
    FlacFactory::make(folder + "/Two.flac");
    context.fileAdder()->add({folder});
    context.fileAdder()->waitUntilDone();
    ASSERT_EQ(context.queue().countOfFichiersAudio(), 2);
    const FichierAudioPtr done = context.queue().fichierAt(0);
    done->setStatusConversion(kStatusConvFiniOk);
    done->save();

    FlacFactory::make(folder + "/Three.flac");
    QStringList refusals;
    QObject::connect(context.fileAdder(), &FileAdder::refused,
                     [&refusals](const QString& path, const QString&) { refusals << path; });
    context.fileAdder()->add({folder});
    context.fileAdder()->waitUntilDone();
    EXPECT_EQ(context.queue().countOfFichiersAudio(), 3);
    EXPECT_TRUE(refusals.isEmpty()) << "a folder already there is no error";
    EXPECT_EQ(context.queue().fichierAt(0), done);
    EXPECT_EQ(done->statusConversion(), kStatusConvFiniOk) << "queued files stay as they are";
    EXPECT_EQ(context.queue().fichierAt(2)->nomElement(), "Three.flac");
}
