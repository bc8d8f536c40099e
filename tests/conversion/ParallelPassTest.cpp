// Several files at once: every outcome is the one a pass of one file at a
// time gives, nothing is left on disk, and a stop ends every job.
#include "conversion/ConversionControleur.h"
#include "conversion/WorkFolder.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
QString flac(const QString& path, double seconds, double noise = 0.0) {
    FlacFactory::Options options;
    options.seconds = seconds;
    options.noise = noise;
    options.tags = FlacFactory::fullTags(QFileInfo(path).completeBaseName());
    return FlacFactory::make(path, options);
}

QStringList decodedFiles() {
    return QDir(WorkFolder::cacheRoot())
               .entryList({"*.aif"}, QDir::Files | QDir::Hidden, QDir::Name) +
           QDir(WorkFolder::forThisProcess()).entryList({"*.aif"}, QDir::Files | QDir::Hidden);
}

// A pass over a mix of files with the number of jobs; answers how each file
// ended, its paths written relative to the mix's folder.
QMap<QString, QString> runMix(int jobs) {
    const QString root = TestEnvironment::makeFolder(QString("Mix%1").arg(jobs));
    const QString out = root + "/out";
    auto& defaults = TestEnvironment::defaults();
    defaults.setInteger(jobs, "ConversionsSimultanees");
    defaults.setInteger(2, "DestinationType");
    defaults.setFolder(out, "DestinationDossier");
    defaults.setBool(true, "DestinationEffacerOriginal");
    defaults.setBool(false, "ForgetWhenFinished");
    QStringList sources;
    for (const char* name : {"good1", "good2", "good3"}) {
        sources << flac(QString("%1/in/%2.flac").arg(root, name), 1.0, 0.05);
    }
    QFile good(sources.first());
    good.open(QIODevice::ReadOnly);
    const QByteArray bytes = good.readAll();
    sources << TestEnvironment::writeFile(root + "/in/broken.flac", bytes.left(bytes.size() / 2));
    sources << flac(root + "/in/exists.flac", 0.3);
    TestEnvironment::writeFile(out + "/exists.m4a", "the user's own file");
    sources << flac(root + "/a/same.flac", 0.6) << flac(root + "/b/same.flac", 0.4);
    sources << flac(root + "/in/short.flac", 0.01);

    TestDatabase context(QString("mix%1.db").arg(jobs));
    for (const QString& path : sources) {
        context.queue().ajouterUnFichier(path);
    }
    PassRunner pass(context.controleur());
    EXPECT_TRUE(pass.runPass());
    EXPECT_EQ(context.controleur()->passSettings().jobs, jobs);

    QMap<QString, QString> outcomes;
    for (const FichierAudioPtr& file : context.queue().fichiersAudio()) {
        const QString source = file->elementURL()->path();
        const bool converted = file->statusConversion() == kStatusConvFiniOk;
        EXPECT_EQ(QFile::exists(source), !converted)
            << source.toStdString() << ": a source goes only after its own success";
        QString reason = file->failureReason().section('\n', 0, 0);
        outcomes.insert(source.mid(root.size()), QString::number(file->statusConversion()) + " " +
                                                     reason.replace(root, "<mix>"));
    }
    EXPECT_TRUE(TestEnvironment::leftovers(root).isEmpty())
        << TestEnvironment::leftovers(root).join(", ").toStdString();
    EXPECT_TRUE(decodedFiles().isEmpty()) << decodedFiles().join(", ").toStdString();
    EXPECT_NEAR(OutputReader::read(out + "/same.m4a").value("length").toDouble(), 0.6, 0.1)
        << "the first of the two sources with one output name";
    return outcomes;
}
} // namespace

TEST(ParallelPass, EveryOutcomeIsWhatAPassOfOneFileAtATimeGives) {
    const QMap<QString, QString> sequential = runMix(1);
    EXPECT_EQ(sequential.value("/in/good1.flac"), "4 ");
    EXPECT_TRUE(sequential.value("/in/broken.flac").startsWith("5 Erreur Decodage"));
    EXPECT_EQ(sequential.value("/in/exists.flac"), "5 Le fichier exists.m4a existe déjà");
    EXPECT_EQ(sequential.value("/b/same.flac"),
              "5 Le fichier <mix>/out/same.m4a est déjà la sortie de <mix>/a/same.flac");
    EXPECT_EQ(sequential.value("/in/short.flac"), "4 ");
    EXPECT_EQ(runMix(2), sequential);
    EXPECT_EQ(runMix(3), sequential);
}

TEST(ParallelPass, FilesStartInListOrderAndAStopEndsEveryJob) {
    TestDatabase context;
    auto& defaults = TestEnvironment::defaults();
    defaults.setInteger(3, "ConversionsSimultanees");
    const QString music = TestEnvironment::makeFolder("Music");
    for (int index = 1; index <= 4; ++index) {
        context.queue().ajouterUnFichier(
            flac(QString("%1/%2.flac").arg(music).arg(index), 30.0, 0.05));
    }
    PassRunner pass(context.controleur());
    pass.start();
    ConversionControleur* controleur = context.controleur();
    float highest = 0.0f;
    ASSERT_TRUE(PassRunner::waitFor([&] {
        highest = std::max(highest, controleur->pourcent());
        return controleur->statusConvertisseur() == kStatusConvertisseurCodage && highest > 1.0f;
    }));
    const QList<FichierAudioPtr> inHand = controleur->fichiersEnMain();
    ASSERT_EQ(inHand.size(), 3);
    for (int index = 0; index < 3; ++index) {
        EXPECT_EQ(inHand[index]->nomElement(), QString("%1.flac").arg(index + 1))
            << "files start in list order";
    }
    EXPECT_EQ(controleur->passMessage(), "3 en cours · 0/4 terminés · 0 en erreur");
    EXPECT_LT(highest, 100.0f) << "the bar moves during long files, short of the end";

    controleur->arreterLaConversion();
    EXPECT_EQ(controleur->jobsInFlight(), 0);
    for (const FichierAudioPtr& file : context.queue().fichiersAudio()) {
        EXPECT_EQ(file->statusConversion(), kStatusConvPret) << file->nomElement().toStdString();
    }
    PassRunner::waitFor([] { return false; }, 300);
    EXPECT_TRUE(TestEnvironment::leftovers(music).isEmpty())
        << TestEnvironment::leftovers(music).join(", ").toStdString();
    EXPECT_TRUE(decodedFiles().isEmpty()) << decodedFiles().join(", ").toStdString();
    EXPECT_TRUE(QDir(music).entryList({"*.m4a"}, QDir::Files).isEmpty());
}
