#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestApp.h"
#include "support/TestEnvironment.h"
#include "ui/InfoTableModel.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrInfoFile.h"
#include "ui/VueCtrlrReglage.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

// The whole application as a user drives it: two files added, a title edited,
// a cover chosen, a pass run, the outputs read back by another reader.
TEST(EndToEnd, EditedTitleAndChosenCoverReachTheOutputs) {
    const QString music = TestEnvironment::home() + "/Music/Album";
    FlacFactory::Options options;
    options.seconds = 0.5;
    options.tags = FlacFactory::fullTags("First Title");
    options.picturePath = FlacFactory::makePicture(music + "/embedded.png", "png", 0x2040c0);
    const QString first = FlacFactory::make(music + "/01 First.flac", options);
    options.tags = FlacFactory::fullTags("Second Title");
    const QString second = FlacFactory::make(music + "/02 Second.flac", options);
    const QString chosen =
        FlacFactory::makePicture(TestEnvironment::home() + "/Pictures/chosen.jpg", "jpg", 0x10a020);

    TestApp app;
    QComboBox* codec = app.reglage().formatConversionPopUp();
    codec->setCurrentIndex(codec->findData(0));
    app.reglage().changingPopUp(codec);
    app.add({first, second});
    ASSERT_EQ(app.queue().countOfFichiersAudio(), 2);

    app.selectRows({0});
    InfoTableModel* table = app.info().infoTableModel();
    ASSERT_TRUE(
        table->setData(table->index(2, InfoTableModel::kDest), "Edited Title", Qt::EditRole));

    app.selectRows({1});
    app.info().autoFindImageCheckBox()->click();
    app.info().imageSourceTypeRadioMatrix()->button(2)->click();
    app.info()._userChoosedImageFileWithPanel(QDialog::Accepted, chosen);

    app.reglage().startBouton()->click();
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return app.delegate().core().controleur()->statusConvertisseur() ==
                   kStatusConvertisseurArrete &&
               app.delegate().core().controleur()->jobsInFlight() == 0;
    }));

    const QJsonObject firstOutput = OutputReader::read(music + "/01 First.mp3");
    EXPECT_EQ(firstOutput.value("tags").toObject().value("title").toString(), "Edited Title");
    EXPECT_EQ(firstOutput.value("cover").toObject().value("sha1").toString(),
              OutputReader::fileSha1(music + "/embedded.png"));
    const QJsonObject secondOutput = OutputReader::read(music + "/02 Second.mp3");
    EXPECT_EQ(secondOutput.value("tags").toObject().value("title").toString(), "Second Title");
    EXPECT_EQ(secondOutput.value("cover").toObject().value("sha1").toString(),
              OutputReader::fileSha1(chosen));
    EXPECT_EQ(secondOutput.value("cover").toObject().value("mime").toString(), "image/jpeg");
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 0);
}

// Quitting during a pass stops every job as the stop button does: nothing
// is left on disk and the next start finds every file ready.
TEST(EndToEnd, QuittingDuringAPassLeavesNothingBehind) {
    const QString music = TestEnvironment::home() + "/Music/Quit";
    FlacFactory::Options options;
    options.seconds = 30.0;
    options.noise = 0.05;
    for (int index = 1; index <= 3; ++index) {
        FlacFactory::make(QString("%1/%2.flac").arg(music).arg(index), options);
    }
    {
        TestApp app;
        app.add({music});
        app.reglage().startConversion();
        ASSERT_TRUE(PassRunner::waitFor([&] {
            return app.delegate().core().controleur()->statusConvertisseur() ==
                   kStatusConvertisseurCodage;
        }));
        const auto answer = [&](const QString& button) {
            auto* question = app.window().findChild<QMessageBox*>("confirmQuit");
            EXPECT_NE(question, nullptr) << "quitting during a pass asks first";
            if (question == nullptr) {
                return;
            }
            EXPECT_EQ(question->text(), "Une conversion est en cours : arrêter et quitter ?");
            for (QAbstractButton* choice : question->buttons()) {
                if (choice->text() == button) {
                    choice->click();
                }
            }
            QCoreApplication::processEvents();
        };
        EXPECT_FALSE(app.window().close());
        answer("Continuer la conversion");
        EXPECT_TRUE(app.window().isVisible());
        EXPECT_TRUE(app.delegate().core().controleur()->isRunning()) << "going on changes nothing";
        EXPECT_FALSE(app.window().close());
        answer("Arrêter et quitter");
        EXPECT_FALSE(app.window().isVisible());
    }
    EXPECT_TRUE(TestEnvironment::leftovers(music).isEmpty())
        << TestEnvironment::leftovers(music).join(", ").toStdString();
    EXPECT_TRUE(QDir(music).entryList({"*.m4a"}, QDir::Files).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(TestEnvironment::home() + "/.cache/Tonebridge/work-" +
                                   QString::number(QCoreApplication::applicationPid())));
    TestApp again;
    ASSERT_EQ(again.queue().countOfFichiersAudio(), 3);
    for (const FichierAudioPtr& file : again.queue().fichiersAudio()) {
        EXPECT_EQ(file->statusConversion(), kStatusConvPret);
    }
}
