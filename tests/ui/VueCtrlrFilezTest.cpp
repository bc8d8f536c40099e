#include "ui/VueCtrlrFilez.h"

#include "conversion/ConversionControleur.h"
#include "conversion/FileAdder.h"
#include "model/Dossier.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestApp.h"
#include "support/TestEnvironment.h"
#include "ui/FileListModel.h"
#include "ui/FileSizeFormatting.h"
#include "ui/PathControl.h"
#include "ui/TableFichiers.h"
#include "ui/VueCtrlrInfoFile.h"
#include "ui/VueCtrlrReglage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QImage>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

namespace {
QString music() {
    return TestEnvironment::home() + "/Music";
}

QString source(const QString& relative, const QString& title = "Title", double seconds = 0.2) {
    FlacFactory::Options options;
    options.seconds = seconds;
    options.tags = FlacFactory::fullTags(title);
    return FlacFactory::make(music() + "/" + relative, options);
}

QVariant cell(TestApp& app, int row, int column, int role = Qt::DisplayRole) {
    const auto* model = app.filez().model();
    return model->data(model->index(row, column), role);
}

void drop(TestApp& app, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QWidget* target = app.filez().tableVue()->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(app.filez().tableVue()->isHighlighted());
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    EXPECT_FALSE(app.filez().tableVue()->isHighlighted());
}

int popupTag(TestApp& app) {
    return app.filez().quoiEffacerPopup()->currentData().toInt();
}

void choosePopup(TestApp& app, int tag) {
    QComboBox* popup = app.filez().quoiEffacerPopup();
    popup->setCurrentIndex(popup->findData(tag));
    app.filez().choisirQuoiEffacer();
}
} // namespace

TEST(FileSizeFormatting, UnitsAndDivisions) {
    EXPECT_EQ(FileSizeFormatting::stringWithFileSize(0), "-");
    EXPECT_EQ(FileSizeFormatting::stringWithFileSize(500), "500,0 o");
    EXPECT_EQ(FileSizeFormatting::stringWithFileSize(1024), "1024,0 o");
    EXPECT_EQ(FileSizeFormatting::stringWithFileSize(1025), "1,0 Ko");
    EXPECT_EQ(FileSizeFormatting::stringWithFileSize(1536), "1,5 Ko");
    EXPECT_EQ(FileSizeFormatting::stringWithFileSize(1024.0f * 1024.0f), "1024,0 Ko");
    EXPECT_EQ(FileSizeFormatting::stringWithFileSize(3.5f * 1024 * 1024 * 1024), "3,5 Go");
    EXPECT_EQ(FileSizeFormatting::stringWithFileSize(2e18f), "1818989,4 To")
        << "never past the last unit";
    EXPECT_EQ(FileSizeFormatting::stringWithFileSize(-5), "-5,0 o");
}

TEST(FileList, ColumnsShowTheQueueAsItIs) {
    TestApp app;
    const QString path = source("Album/Song.flac", "Chanson");
    app.add({path});
    ASSERT_EQ(app.filez().model()->rowCount(), 1);
    EXPECT_EQ(cell(app, 0, FileListModel::kName).toString(), "Song.flac");
    EXPECT_EQ(cell(app, 0, FileListModel::kTrack).toString(), "3");
    EXPECT_EQ(cell(app, 0, FileListModel::kTitle).toString(), "Chanson");
    EXPECT_EQ(cell(app, 0, FileListModel::kArtist).toString(), "The Artist");
    EXPECT_EQ(cell(app, 0, FileListModel::kAlbum).toString(), "The Album");
    EXPECT_TRUE(cell(app, 0, FileListModel::kSize).toString().endsWith(" Ko"));
    EXPECT_EQ(cell(app, 0, FileListModel::kPath).toString(), "~/Music/Album/Song.flac");
    EXPECT_FALSE(
        cell(app, 0, FileListModel::kThumbnail, Qt::DecorationRole).value<QImage>().isNull());
    EXPECT_EQ(cell(app, 0, FileListModel::kStatus, Qt::DecorationRole).value<QImage>(),
              Image::named("status_gomet1")->scaled(FileListModel::kBadgeSide));
    EXPECT_EQ(cell(app, 0, FileListModel::kStatus, Qt::ToolTipRole).toString(), "Prêt");

    const auto file = app.queue().fichiersAudio().first();
    file->inMetadataDict()->remove("NSURLFileSizeKey");
    file->setImageAutoFind(0);
    file->setImageSourceType(0);
    file->mainPictureCached(false);
    EXPECT_EQ(cell(app, 0, FileListModel::kSize).toString(), "-");
    EXPECT_EQ(cell(app, 0, FileListModel::kThumbnail, Qt::DecorationRole).value<QImage>(),
              Image::named("flac-icon256.png")->scaled(FileListModel::kThumbnailSide));
    file->setStatusConversion(kStatusConvFiniErreur);
    file->setFailureReason("Erreur Decodage quelque chose");
    EXPECT_EQ(cell(app, 0, FileListModel::kStatus, Qt::ToolTipRole).toString(),
              "Erreur\nErreur Decodage quelque chose");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(FileListModel::columnValue(*file, 12).isValid());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Colone Inconnue 12\n");
}

TEST(FileList, DropsAddFilesAndFoldersAndRememberTheFolder) {
    TestApp app;
    const QString first = source("Loose/a.flac");
    const QString second = source("Loose/b.flac");
    source("Box/c.flac");
    source("Box/Inner/d.flac");
    drop(app, {QUrl::fromLocalFile(first), QUrl::fromLocalFile(second),
               QUrl::fromLocalFile(music() + "/Box")});
    app.delegate().core().fileAdder()->waitUntilDone();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 4);
    EXPECT_EQ(TestEnvironment::defaults().folderForKey("DernierDossierFLAC"), music() + "/Box");
    EXPECT_EQ(app.filez().pathCtrlr()->path(), music() + "/Box");

    drop(app, {QUrl("https://example.com/song.flac")});
    app.delegate().core().fileAdder()->waitUntilDone();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 4) << "a drop without local files adds nothing";

    app.add({source("Only/e.flac")});
    EXPECT_EQ(app.filez().pathCtrlr()->path(), music() + "/Only") << "the last file's folder";
    app.add({music() + "/missing.flac"});
    EXPECT_EQ(TestEnvironment::defaults().folderForKey("DernierDossierFLAC"),
              TestEnvironment::defaults().folderForKey("DernierDossierFLAC"));
    EXPECT_EQ(app.filez().pathCtrlr()->path(), "") << "nothing added: no folder remembered";

    // A click on a folder of the path queues that whole folder.
    app.add({source("Tree/Leaf/f.flac")});
    source("Tree/g.flac");
    const QStringList components = app.filez().pathCtrlr()->componentPaths();
    ASSERT_TRUE(components.contains(music() + "/Tree"));
    auto* button = app.filez().pathCtrlr()->findChild<QToolButton*>(
        QString("pathComponent%1").arg(components.indexOf(music() + "/Tree")));
    ASSERT_NE(button, nullptr);
    button->click();
    app.delegate().core().fileAdder()->waitUntilDone();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 7);
    EXPECT_EQ(app.filez().pathCtrlr()->path(), music() + "/Tree");
    app.filez().panelClosed(QDialog::Rejected, {source("Rejected/h.flac")});
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 7);
    app.filez().panelClosed(QDialog::Accepted, {music() + "/Rejected/h.flac"});
    app.delegate().core().fileAdder()->waitUntilDone();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 8);
}

TEST(FileList, RemoveChoicesAndThePopupsMovements) {
    TestApp app;
    for (const char* name : {"a", "b", "c", "d"}) {
        app.add({source(QString("%1.flac").arg(name))});
    }
    EXPECT_EQ(popupTag(app), 0);
    EXPECT_FALSE(app.filez().effacerBouton()->isEnabled());

    choosePopup(app, VueCtrlrFilez::kRemoveSelected);
    EXPECT_TRUE(app.filez().effacerBouton()->isEnabled());
    app.filez().effacer();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 4) << "selected, with no selection";
    EXPECT_EQ(popupTag(app), 0);

    choosePopup(app, VueCtrlrFilez::kRemoveConverted);
    app.selectRows({1});
    EXPECT_EQ(popupTag(app), 2);
    EXPECT_EQ(app.filez().bumenuQE(), 3);
    app.selectRows({1, 2});
    EXPECT_EQ(app.filez().bumenuQE(), 2) << "saved on every change";
    app.filez().tableVue()->clearSelection();
    EXPECT_EQ(popupTag(app), 2);
    EXPECT_TRUE(app.filez().effacerBouton()->isEnabled());

    app.filez().raffraichirTableau();
    app.selectRows({1, 2});
    app.filez().effacer();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 2);
    EXPECT_TRUE(app.filez().selectedRows().isEmpty());
    EXPECT_EQ(popupTag(app), 2) << "the saved choice comes back when the selection empties";
    EXPECT_EQ(app.filez().filez().first()->nomElement(), "a.flac");
    EXPECT_EQ(app.filez().filez().last()->nomElement(), "d.flac");

    app.filez().filez().first()->setStatusConversion(kStatusConvFiniOk);
    app.filez().filez().last()->setStatusConversion(kStatusConvFiniErreur);
    choosePopup(app, VueCtrlrFilez::kRemoveConverted);
    app.filez().effacer();
    ASSERT_EQ(app.queue().countOfFichiersAudio(), 1);
    EXPECT_EQ(app.filez().filez().first()->nomElement(), "d.flac") << "failed files stay";
    EXPECT_EQ(popupTag(app), 0);

    choosePopup(app, VueCtrlrFilez::kRemoveAll);
    app.filez().effacer();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 0);
    EXPECT_EQ(app.reglage().startBouton()->isEnabled(), false);
}

TEST(FileList, SelectionSurvivesReloadsAndSortingDrivesTheConversionOrder) {
    TestApp app;
    app.add({source("b.flac", "Bravo"), source("c.flac", "Charlie"), source("a.flac", "Alpha")});
    app.selectRows({1});
    const auto selected = app.filez().filez().at(1);
    app.filez().raffraichirTableau();
    EXPECT_EQ(app.filez().selectedRows(), QList<qint64>{1});
    app.filez().sortDescriptorsDidChange(FileListModel::kTitle, Qt::AscendingOrder);
    QStringList titles;
    for (const auto& file : app.filez().filez()) {
        titles << file->outMetadataDict()->value("title").toString();
    }
    EXPECT_EQ(titles, (QStringList{"Alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(app.filez().selectedRows(), QList<qint64>{2}) << "the same file stays selected";
    EXPECT_EQ(app.filez().filez().at(2), selected);

    QStringList decoded;
    QObject::connect(&app.reglage(), &VueCtrlrReglage::messageShown, [&](const QString& message) {
        if (message.startsWith("Decodage ")) {
            decoded << message;
        }
    });
    app.reglage().startConversion();
    PassRunner::waitFor([&] {
        return app.delegate().core().controleur()->statusConvertisseur() ==
                   kStatusConvertisseurArrete &&
               app.delegate().core().controleur()->jobsInFlight() == 0;
    });
    EXPECT_EQ(decoded, (QStringList{"Decodage a.flac", "Decodage b.flac", "Decodage c.flac"}));
    EXPECT_EQ(app.filez().barre2prog()->value(), 100) << "a finished pass shows all its progress";
}

TEST(FileList, AddingShowsItsProgressUnderTheListAndCanBeCancelled) {
    TestApp app;
    const QString original = source("one.flac");
    const QString folder = TestEnvironment::makeFolder("Music/Large");
    // Enough files to take well over the half second before the bar shows.
    for (int index = 0; index < 1500; ++index) {
        QFile::copy(original,
                    QString("%1/%2.flac").arg(folder).arg(index, 4, 10, QLatin1Char('0')));
    }
    QString shownText;
    bool modal = true;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        // Once the bar shows and has counted a file at least (a loaded
        // machine may show it before the first batch is made).
        const QString label = app.filez().addBar()->findChild<QLabel*>()->text();
        if (app.filez().addBar()->isVisible() && shownText.isEmpty() &&
            label.contains(QRegularExpression("^[1-9]"))) {
            shownText = label;
            // No dialog holds the window: its menus and its list still answer.
            modal = QApplication::activeModalWidget() != nullptr;
            app.filez().addCancelButton()->click();
        }
    });
    cancel.start(20);
    app.add({folder});
    cancel.stop();
    EXPECT_FALSE(modal);
    EXPECT_TRUE(QRegularExpression("^\\d+ fichiers? ajoutés?$").match(shownText).hasMatch())
        << shownText.toStdString();
    const qint64 added = app.queue().countOfFichiersAudio();
    EXPECT_LT(added, 1500) << "the cancel stopped the addition";
    EXPECT_EQ(app.filez().model()->rowCount(), added) << "what was added stays";
    EXPECT_FALSE(app.filez().addBar()->isVisible());
    EXPECT_TRUE(QRegularExpression("^\\d+ fichiers? ajoutés?, ajout annulé$")
                    .match(app.reglage().messageLabel()->text())
                    .hasMatch())
        << app.reglage().messageLabel()->text().toStdString();

    // The same folder again: what is there already is said, the rest joins.
    app.add({folder});
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 1500);
    EXPECT_EQ(app.reglage().messageLabel()->text(),
              QString("%1 fichiers ajoutés, %2 déjà dans la liste")
                  .arg(QLocale(QLocale::French).toString(1500 - added),
                       QLocale(QLocale::French).toString(added)));
}

TEST(FileList, ThePathBarAsksBeforeAddingMoreThanAFoldersWorth) {
    TestApp app;
    const QString original = source("one.flac");
    const QString folder = TestEnvironment::makeFolder("Music/Whole disk");
    for (int index = 0; index <= VueCtrlrFilez::kPathBarConfirmAbove; ++index) {
        QFile::copy(original, QString("%1/%2.flac").arg(folder).arg(index));
    }
    const auto answer = [&](const QString& button) {
        QMessageBox* question = nullptr;
        if (!PassRunner::waitFor([&] {
                question = app.window().findChild<QMessageBox*>("confirmAddition");
                return question != nullptr && question->isVisible();
            })) {
            return QString();
        }
        const QString text = question->text();
        for (QAbstractButton* choice : question->buttons()) {
            if (choice->text() == button) {
                choice->click();
            }
        }
        return text;
    };
    app.filez().clickPathControl(folder);
    EXPECT_EQ(answer("Annuler"), "Ajouter les " + QLocale(QLocale::French).toString(1001) +
                                     " fichiers FLAC trouvés dans " + folder + " ?");
    app.delegate().core().fileAdder()->waitUntilDone();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 0) << "nothing added without a yes";
    app.filez().clickPathControl(folder);
    EXPECT_FALSE(answer("Ajouter").isEmpty());
    app.delegate().core().fileAdder()->waitUntilDone();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), VueCtrlrFilez::kPathBarConfirmAbove + 1);

    // A folder's worth goes in at once.
    source("Small/song.flac");
    app.filez().clickPathControl(music() + "/Small");
    app.delegate().core().fileAdder()->waitUntilDone();
    const auto* question = app.window().findChild<QMessageBox*>("confirmAddition");
    EXPECT_TRUE(question == nullptr || !question->isVisible());
    EXPECT_EQ(app.queue().countOfFichiersAudio(), VueCtrlrFilez::kPathBarConfirmAbove + 2);
}

TEST(FileList, AddingNeverWalksTheKernelsFilesNorOutlivesACancelOrTheWindow) {
    EXPECT_TRUE(Dossier::isPseudoFileSystem("/proc"));
    EXPECT_TRUE(Dossier::isPseudoFileSystem("/proc/self/fd"));
    EXPECT_TRUE(Dossier::isPseudoFileSystem("/sys/class"));
    EXPECT_TRUE(Dossier::isPseudoFileSystem("/run/user"));
    EXPECT_FALSE(Dossier::isPseudoFileSystem(TestEnvironment::home()));
    // A link loop and a link out of the tree are listed, never entered.
    const QString folder = TestEnvironment::makeFolder("Music/Loops/Inner");
    QFile::link(TestEnvironment::home() + "/Music/Loops", folder + "/back up");
    QFile::link("/", folder + "/root");
    const QStringList listed = Dossier::listTree(TestEnvironment::home() + "/Music/Loops");
    EXPECT_EQ(listed.size(), 3) << listed.join(", ").toStdString();

    // A sanitizer's build runs everything a few times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr qint64 kAtOnceMs = 3000;
#else
    constexpr qint64 kAtOnceMs = 1000;
#endif
    QElapsedTimer timer;
    {
        TestApp app;
        // The whole disk: the listing stops at once when asked.
        app.filez().ajouterFichiersDossiers({"/"});
        PassRunner::waitFor([] { return false; }, 200);
        timer.start();
        app.delegate().core().fileAdder()->cancel();
        app.delegate().core().fileAdder()->waitUntilDone();
        EXPECT_LT(timer.elapsed(), kAtOnceMs) << "a cancel is answered at once";
        EXPECT_EQ(app.queue().countOfFichiersAudio(), 0);

        app.filez().ajouterFichiersDossiers({"/"});
        PassRunner::waitFor([] { return false; }, 200);
        timer.start();
    }
    EXPECT_LT(timer.elapsed(), kAtOnceMs) << "quitting during an addition never lingers";
}

TEST(FileList, AnEmptyListSaysWhatToDoAndTheSortIsKept) {
    EXPECT_EQ(TableFichiers::emptyHint(),
              "Déposez ici des fichiers ou dossiers FLAC, ou cliquez sur Ajouter…");
    const QString folder = TestEnvironment::makeFolder("Music/Sorted");
    FlacFactory::Options options;
    options.seconds = 0.1;
    for (const char* title : {"Bravo", "Alpha", "Charlie"}) {
        options.tags = FlacFactory::fullTags(title);
        FlacFactory::make(
            QString("%1/%2.flac").arg(folder, title == QString("Bravo") ? "1" : title), options);
    }
    {
        TestApp app;
        const QImage empty = app.filez().tableVue()->viewport()->grab().toImage();
        app.add({folder});
        EXPECT_NE(app.filez().tableVue()->viewport()->grab().toImage(), empty)
            << "the hint goes once files are listed";
        app.filez().tableVue()->horizontalHeader()->setSortIndicator(FileListModel::kTitle,
                                                                     Qt::DescendingOrder);
    }
    TestApp restarted;
    QStringList titles;
    for (const FichierAudioPtr& file : restarted.queue().fichiersAudio()) {
        titles << file->outMetadataDict()->value("title").toString();
    }
    EXPECT_EQ(titles, (QStringList{"Charlie", "Bravo", "Alpha"})) << "the sort survives a restart";
}

TEST(FileList, FileDialogsSpeakFrenchAndOpenWhereTheMusicIs) {
    const QString music = TestEnvironment::makeFolder("Music");
    EXPECT_EQ(VueCtrlrFilez::startFolder(TestEnvironment::home() + "/gone"), music);
    EXPECT_EQ(VueCtrlrFilez::startFolder(music + "/../Music"), music + "/../Music");
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_TRUE(texts.contains("Voir dans :") && texts.contains("Fichiers de type :"))
        << "Qt's own texts come from its French catalogue: " << texts.join(" | ").toStdString();
    // The type column, whose words Qt's catalogue lacks.
    QFileSystemModel files;
    files.setRootPath(music);
    const QModelIndex folder = files.index(music);
    EXPECT_EQ(files.type(folder), "Dossier");
}

TEST(FileList, TheSelectionStaysWithItsFilesAsAPassRemovesRows) {
    TestEnvironment::defaults().setInteger(1, "ConversionsSimultanees");
    TestApp app;
    const QString folder = TestEnvironment::makeFolder("Music/Pass");
    FlacFactory::Options options;
    options.seconds = 0.1;
    for (const char* name : {"1 a", "2 b"}) {
        FlacFactory::make(QString("%1/%2.flac").arg(folder, name), options);
    }
    options.seconds = 20.0;
    options.noise = 0.05;
    for (const char* name : {"3 c", "4 d"}) {
        FlacFactory::make(QString("%1/%2.flac").arg(folder, name), options);
    }
    app.add({folder});
    app.selectRows({2, 3});
    const FichierAudioPtr third = app.filez().filez().at(2);
    app.reglage().startConversion();
    ASSERT_TRUE(PassRunner::waitFor([&] { return app.queue().countOfFichiersAudio() == 2; }));
    EXPECT_EQ(app.filez().selectedRows(), (QList<qint64>{0, 1}))
        << "the highlight stays on the same files, not the same row numbers";
    EXPECT_EQ(app.filez().filez().first(), third);
    EXPECT_EQ(app.info().titreTextField()->text(), "2 fichiers sélectionnés");
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return app.delegate().core().controleur()->statusConvertisseur() ==
                   kStatusConvertisseurArrete &&
               app.delegate().core().controleur()->jobsInFlight() == 0;
    }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(app.filez().selectedRows().isEmpty());
    EXPECT_EQ(app.info().titreTextField()->text(), "-") << "never a file that is gone";
    EXPECT_FALSE(app.info().isRowEditable(2)) << "and no edits that go nowhere";
}

TEST(FileList, AddingNeverBlocksTheWindowAndPathsThatArriveJoinIt) {
    TestApp app;
    const QString original = source("one.flac");
    QStringList folders;
    for (const char* name : {"First", "Second"}) {
        const QString folder = TestEnvironment::makeFolder(QString("Music/%1").arg(name));
        for (int index = 1; index <= 40; ++index) {
            QFile::copy(original, QString("%1/%2.flac").arg(folder).arg(index));
        }
        folders << folder;
    }
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    int rowsSeen = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestStall = std::max(longestStall, sinceTick.restart());
        rowsSeen = std::max(rowsSeen, app.filez().model()->rowCount());
    });
    sinceTick.start();
    tick.start(10);
    app.filez().ajouterFichiersDossiers({folders[0]});
    app.filez().ajouterFichiersDossiers({folders[1]});
    EXPECT_TRUE(app.delegate().core().fileAdder()->isBusy()) << "the calls returned at once";
    app.delegate().core().fileAdder()->waitUntilDone();
    tick.stop();
    ASSERT_EQ(app.queue().countOfFichiersAudio(), 80) << "the second folder joined the first";
    EXPECT_EQ(app.queue().fichiersAudio().at(1)->elementURL()->path(), folders[0] + "/2.flac");
    EXPECT_EQ(app.queue().fichiersAudio().at(40)->elementURL()->path(), folders[1] + "/1.flac");
    EXPECT_GT(rowsSeen, 0) << "the list grew while the files were read";
    EXPECT_LT(longestStall, 500) << "the window kept running";
}

TEST(FileList, FilesAddedAndRemovedDuringAPassNeverMakeItTakeAFileTwice) {
    TestEnvironment::defaults().setInteger(2, "ConversionsSimultanees");
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    TestApp app;
    QStringList taken;
    QObject::connect(&app.reglage(), &VueCtrlrReglage::messageShown, [&](const QString& message) {
        if (message.startsWith("Decodage ")) {
            taken << message.mid(9);
        }
    });
    const QString folder = TestEnvironment::makeFolder("Music/During");
    FlacFactory::Options options;
    options.seconds = 12.0;
    options.noise = 0.05;
    for (const char* name : {"1 first", "2 second", "3 third", "4 fourth"}) {
        FlacFactory::make(QString("%1/%2.flac").arg(folder, name), options);
    }
    app.add({folder});
    app.reglage().startConversion();
    ASSERT_TRUE(PassRunner::waitFor([&] { return taken.size() == 2; }));

    // Through the window's own add path and its own removal, while the first
    // two convert: one file joins, the second in flight and the third leave.
    const QString late = source("During late/5 late.flac", "Late", 0.3);
    app.filez().ajouterFichiersDossiers({late});
    app.delegate().core().fileAdder()->waitUntilDone();
    app.selectRows({1, 2});
    app.filez().effacerLaSelection();
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return app.delegate().core().controleur()->statusConvertisseur() ==
                   kStatusConvertisseurArrete &&
               app.delegate().core().controleur()->jobsInFlight() == 0;
    }));
    QCoreApplication::processEvents();

    EXPECT_EQ(taken, (QStringList{"1 first.flac", "2 second.flac", "4 fourth.flac", "5 late.flac"}))
        << "each file taken once, in list order";
    QStringList left;
    for (const FichierAudioPtr& file : app.queue().fichiersAudio()) {
        left << file->nomElement();
        EXPECT_EQ(file->statusConversion(), kStatusConvFiniOk)
            << file->nomElement().toStdString() << ": " << file->failureReason().toStdString();
    }
    EXPECT_EQ(left, (QStringList{"1 first.flac", "4 fourth.flac", "5 late.flac"}));
    EXPECT_FALSE(QFile::exists(folder + "/2 second.m4a")) << "a removed file's job stopped";
    EXPECT_FALSE(QFile::exists(folder + "/3 third.m4a"));
    EXPECT_TRUE(QFile::exists(folder + "/1 first.m4a"));
    EXPECT_TRUE(TestEnvironment::leftovers(music()).isEmpty())
        << TestEnvironment::leftovers(music()).join(", ").toStdString();
}

TEST(FileList, CoversOfTheFoldersAddedAreTheirFilesCoversAtOnce) {
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    TestEnvironment::defaults().setInteger(2, "ConversionsSimultanees");
    TestApp app;
    // One album with its cover beside its tracks, one with its cover one
    // folder above its two discs; the covers sort after the tracks.
    QStringList sources;
    for (int index = 1; index <= 6; ++index) {
        sources << source(QString("Beside/%1 Track.flac").arg(index));
    }
    for (const char* disc : {"CD1", "CD2"}) {
        for (int index = 1; index <= 3; ++index) {
            sources << source(QString("Above/%1/%2 Track.flac").arg(disc).arg(index));
        }
    }
    const QString beside = FlacFactory::makePicture(music() + "/Beside/cover.jpg", "jpg", 0x103070);
    const QString above = FlacFactory::makePicture(music() + "/Above/cover.jpg", "jpg", 0x701030);
    // Through the window's own add path, its readings on worker threads.
    app.add({music() + "/Beside", music() + "/Above"});
    ASSERT_EQ(app.queue().countOfFichiersAudio(), 12);
    for (const FichierAudioPtr& file : app.queue().fichiersAudio()) {
        const ImagePtr shown = file->mainPictureCached(true);
        ASSERT_TRUE(shown) << file->nomElement().toStdString();
        EXPECT_EQ(shown->name(), "cover.jpg") << file->elementURL()->path().toStdString();
    }
    app.reglage().startConversion();
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return app.delegate().core().controleur()->statusConvertisseur() ==
                   kStatusConvertisseurArrete &&
               app.delegate().core().controleur()->jobsInFlight() == 0;
    }));
    for (const QString& path : sources) {
        const QString output = path.left(path.size() - 5) + ".m4a";
        const QString expected = OutputReader::fileSha1(path.contains("/Beside/") ? beside : above);
        EXPECT_EQ(OutputReader::read(output).value("cover").toObject().value("sha1").toString(),
                  expected)
            << output.toStdString();
    }
}

TEST(FileList, SortingFollowsFrenchAndThePassFollowsTheList) {
    TestEnvironment::defaults().setInteger(1, "ConversionsSimultanees");
    TestApp app;
    for (const char* title : {"Zèbre", "Été", "Dernière", "Démo", "10 Ans", "9 Vies", "abeille"}) {
        source(QString("Sort/%1.flac").arg(title), title);
    }
    app.add({music() + "/Sort"});
    app.filez().tableVue()->horizontalHeader()->setSortIndicator(FileListModel::kTitle,
                                                                 Qt::AscendingOrder);
    QStringList titles;
    for (int row = 0; row < 7; ++row) {
        titles << cell(app, row, FileListModel::kTitle).toString();
    }
    EXPECT_EQ(titles,
              (QStringList{"9 Vies", "10 Ans", "abeille", "Démo", "Dernière", "Été", "Zèbre"}));
    QStringList taken;
    QObject::connect(&app.reglage(), &VueCtrlrReglage::messageShown, [&](const QString& message) {
        if (message.startsWith("Decodage ")) {
            taken << QFileInfo(message.mid(9)).completeBaseName();
        }
    });
    app.reglage().startConversion();
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return app.delegate().core().controleur()->statusConvertisseur() ==
                   kStatusConvertisseurArrete &&
               app.delegate().core().controleur()->jobsInFlight() == 0;
    }));
    EXPECT_EQ(taken, titles) << "a pass takes the files in the order the list shows";
}

TEST(FileList, RowsMenuKeysPathBarAndColumnsAsUsersFindThem) {
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    TestApp app;
    const QString folder = TestEnvironment::makeFolder("Music/Rock & Roll");
    for (const char* name : {"1 a", "2 b", "3 c"}) {
        source(QString("Rock & Roll/%1.flac").arg(name), name);
    }
    app.add({folder});
    // A "&" in a folder's name shows as one.
    QStringList components;
    for (const QToolButton* button : app.filez().pathCtrlr()->findChildren<QToolButton*>()) {
        components << button->text();
    }
    EXPECT_TRUE(components.contains("Rock && Roll")) << components.join(" | ").toStdString();

    // Ctrl+End and Ctrl+Home select the last and the first file.
    const auto press = [&](Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(app.filez().tableVue(), &event);
    };
    press(Qt::Key_End);
    EXPECT_EQ(app.filez().selectedRows(), QList<qint64>{2});
    press(Qt::Key_Home);
    EXPECT_EQ(app.filez().selectedRows(), QList<qint64>{0});

    // The rows' menu: Retirer, Ouvrir le dossier, Réinitialiser.
    QStringList entries;
    for (const QAction* action : app.filez().rowMenu()->actions()) {
        entries << action->text();
    }
    EXPECT_EQ(entries, (QStringList{"Retirer", "Ouvrir le dossier", "Réinitialiser"}));
    const auto files = app.queue().fichiersAudio();
    files.at(1)->setStatusConversion(kStatusConvFiniErreur);
    files.at(1)->setFailureReason("Erreur Decodage : ce n'est pas un fichier FLAC");
    files.at(1)->save();
    files.at(2)->setStatusConversion(kStatusConvFiniErreur);
    files.at(2)->save();
    app.selectRows({1});
    app.filez().rowMenu()->actions().at(2)->trigger();
    EXPECT_EQ(files.at(1)->statusConversion(), kStatusConvPret);
    EXPECT_EQ(files.at(2)->statusConversion(), kStatusConvFiniErreur) << "the selection only";
    app.selectRows({2});
    app.filez().rowMenu()->actions().at(0)->trigger();
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 2);

    // At 1024 pixels, every column shows, the status badge included.
    app.window().resize(1024, 700);
    QCoreApplication::processEvents();
    const QHeaderView* header = app.filez().tableVue()->horizontalHeader();
    EXPECT_LE(header->sectionViewportPosition(FileListModel::kStatus) +
                  header->sectionSize(FileListModel::kStatus),
              app.filez().tableVue()->viewport()->width());
}
