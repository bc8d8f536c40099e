#include "ui/VueCtrlrInfoFile.h"

#include "queue/GestionnairePileFichier.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/PassRunner.h"
#include "support/TestApp.h"
#include "support/TestEnvironment.h"
#include "ui/AlertSound.h"
#include "ui/FileListModel.h"
#include "ui/InfoTableModel.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrReglage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
QString source(const QString& relative, const QString& title) {
    FlacFactory::Options options;
    options.seconds = 0.2;
    options.tags = FlacFactory::fullTags(title);
    return FlacFactory::make(TestEnvironment::home() + "/Music/" + relative, options);
}

QVariant value(TestApp& app, int row, int column) {
    InfoTableModel* model = app.info().infoTableModel();
    return model->data(model->index(row, column), Qt::DisplayRole);
}

bool editable(TestApp& app, int row) {
    InfoTableModel* model = app.info().infoTableModel();
    return model->flags(model->index(row, InfoTableModel::kDest)).testFlag(Qt::ItemIsEditable);
}

bool edit(TestApp& app, int row, const QString& text) {
    InfoTableModel* model = app.info().infoTableModel();
    return model->setData(model->index(row, InfoTableModel::kDest), text, Qt::EditRole);
}
} // namespace

TEST(InfoView, RowsLabelsAndEditability) {
    TestApp app;
    app.add({source("A/1.flac", "One"), source("B/2.flac", "Two"), source("C/3.flac", "Three")});
    for (int row = 0; row < 12; ++row) {
        EXPECT_FALSE(editable(app, row)) << "nothing shown yet";
    }
    const QStringList labels = {"Nom du fichier", "Piste",  "Titre",  "Artiste",
                                "Album",          "Disque", "Genre",  "Date",
                                "Fréquence",      "Bits",   "Canaux", "Taille"};
    for (int row = 0; row < 12; ++row) {
        EXPECT_EQ(value(app, row, InfoTableModel::kClef).toString(), labels[row]);
    }

    app.selectRows({0});
    EXPECT_EQ(app.info().titreTextField()->text(), "1.flac");
    EXPECT_EQ(value(app, 2, InfoTableModel::kSrce).toString(), "One");
    EXPECT_EQ(value(app, 0, InfoTableModel::kDest).toString(), "1.m4a");
    EXPECT_EQ(value(app, 8, InfoTableModel::kSrce).toString(), "44100");
    EXPECT_TRUE(value(app, 11, InfoTableModel::kSrce).toString().endsWith(" Ko"));
    EXPECT_EQ(value(app, 11, InfoTableModel::kDest).toString(), "-");
    for (int row = 0; row < 12; ++row) {
        EXPECT_EQ(editable(app, row), row <= 7) << row;
    }

    app.selectRows({0, 1, 2});
    EXPECT_EQ(app.info().titreTextField()->text(), "3 fichiers sélectionnés");
    EXPECT_EQ(value(app, 2, InfoTableModel::kDest).toString(), "-");
    EXPECT_EQ(value(app, 3, InfoTableModel::kDest).toString(), "The Artist");
    EXPECT_FALSE(editable(app, 0)) << "one file name for three files makes no sense";
    EXPECT_TRUE(editable(app, 2));
    EXPECT_FALSE(editable(app, 9));
}

TEST(InfoView, AnEditReachesEverySelectedFileAndTheList) {
    TestApp app;
    app.add({source("A/1.flac", "One"), source("B/2.flac", "Two"), source("C/3.flac", "Three")});
    app.selectRows({0, 1, 2});
    EXPECT_TRUE(edit(app, 2, "Same Title"));
    EXPECT_EQ(value(app, 2, InfoTableModel::kDest).toString(), "Same Title");
    for (int row = 0; row < 3; ++row) {
        const auto* model = app.filez().model();
        EXPECT_EQ(model->data(model->index(row, FileListModel::kTitle), Qt::DisplayRole).toString(),
                  "Same Title");
    }
    GestionnairePileFichier reloaded(*app.core().store());
    reloaded.loadFromSqlite();
    for (const auto& file : reloaded.fichiersAudio()) {
        EXPECT_EQ(file->outMetadataDict()->value("title").toString(), "Same Title")
            << "saved at once";
        EXPECT_NE(file->inMetadataDict()->value("title").toString(), "Same Title");
    }
    EXPECT_EQ(app.filez().selectedRows().size(), 3) << "the list's reload keeps the selection";
}

TEST(InfoView, FileNamesFollowTheCodecAndStayNames) {
    TestApp app;
    app.add({source("Album/Song.flac", "Song")});
    app.selectRows({0});
    const auto file = app.queue().fichiersAudio().first();
    const struct {
        const char* typed;
        const char* stored;
        bool alert;
    } cases[] = {{"My Song.flac", "My Song.m4a", true},
                 {"My Song", "My Song.m4a", true},
                 {"My.Song.m4a", "My.Song.m4a", false},
                 {"A.B", "A.m4a", true}};
    for (const auto& named : cases) {
        const int alerts = AlertSound::count();
        EXPECT_TRUE(edit(app, 0, named.typed));
        EXPECT_EQ(file->nomDestination(), named.stored);
        EXPECT_EQ(file->destinationURL()->path(),
                  TestEnvironment::home() + "/Music/Album/" + named.stored);
        EXPECT_EQ(AlertSound::count() - alerts, named.alert ? 1 : 0) << named.typed;
    }
    for (const char* refused : {"a/b", "../x", "..", "."}) {
        const int alerts = AlertSound::count();
        EXPECT_FALSE(edit(app, 0, refused)) << refused;
        EXPECT_EQ(AlertSound::count() - alerts, 1);
        EXPECT_EQ(file->nomDestination(), "A.m4a") << "the previous name stays";
    }
    GestionnairePileFichier reloaded(*app.core().store());
    reloaded.loadFromSqlite();
    EXPECT_EQ(reloaded.fichiersAudio().first()->nomDestination(), "A.m4a");

    // Emptied, the name goes back to the one made from the source.
    EXPECT_TRUE(edit(app, 0, ""));
    EXPECT_FALSE(file->hasTypedName());
    EXPECT_EQ(file->destinationURL()->path(), TestEnvironment::home() + "/Music/Album/Song.m4a");
    EXPECT_EQ(app.info().cellValue("dest", 0).toString(), "Song.m4a");
    GestionnairePileFichier again(*app.core().store());
    again.loadFromSqlite();
    EXPECT_FALSE(again.fichiersAudio().first()->hasTypedName()) << "and stays so";
}

TEST(InfoView, PictureControlsAndExternalImages) {
    TestApp app;
    const QString folder = TestEnvironment::home() + "/Music/Covers";
    for (const char* name : {"front.jpg", "back.png", "inlay.jpg"}) {
        FlacFactory::makePicture(folder + "/" + name,
                                 QString(name).endsWith("png") ? "png" : "jpg");
    }
    source("Covers/Song.flac", "Song");
    app.add({folder});
    EXPECT_FALSE(app.info().chooseImageButton()->isEnabled()) << "no file shown";
    app.selectRows({0});
    EXPECT_EQ(app.info().autoFindImageCheckBox()->checkState(), Qt::Checked);
    EXPECT_EQ(app.info().imageSourceTypeRadioMatrix()->checkedId(), 1) << "an image near the file";
    EXPECT_FALSE(app.info().chooseImageButton()->isEnabled());

    QList<quint64> indexes;
    for (int click = 0; click < 4; ++click) {
        indexes << app.info().fichierActif()->externalImageIndex();
        app.info().imageButton()->click();
    }
    EXPECT_EQ(indexes, (QList<quint64>{0, 1, 2, 0}));

    app.info().autoFindImageCheckBox()->click();
    EXPECT_EQ(app.info().autoFindImageCheckBox()->checkState(), Qt::Unchecked);
    EXPECT_FALSE(TestEnvironment::defaults().boolForKey("ImageAutoFind"));
    app.info().imageSourceTypeRadioMatrix()->button(2)->click();
    EXPECT_TRUE(app.info().chooseImageButton()->isEnabled());
    EXPECT_EQ(app.info().imageButton()->toolTip(), "noimage256");

    const QString chosen =
        FlacFactory::makePicture(TestEnvironment::home() + "/Pictures/Mine/art.png", "png");
    app.info()._userChoosedImageFileWithPanel(QDialog::Accepted, chosen);
    EXPECT_EQ(TestEnvironment::defaults().stringForKey("ImageCustomPath"),
              TestEnvironment::home() + "/Pictures/Mine");
    EXPECT_EQ(app.info().imageButton()->toolTip(), "art.png");
    const auto file = app.queue().fichiersAudio().first();
    EXPECT_EQ(file->imageCustomURL()->path(), chosen);
    EXPECT_EQ(file->imageSourceType(), 2);

    app.info().autoFindImageCheckBox()->click();
    EXPECT_FALSE(app.info().chooseImageButton()->isEnabled()) << "automatic choice on";
}

TEST(InfoView, TheSourcesOtherCommentsShowReadOnlyBelowTheEditableRows) {
    TestApp app;
    FlacFactory::Options options;
    options.seconds = 0.2;
    options.tags = FlacFactory::fullTags("One");
    options.tags << qMakePair(QString("ALBUMARTIST"), QString("Various"))
                 << qMakePair(QString("LYRICS"), QString("first\nsecond"))
                 << qMakePair(QString("REPLAYGAIN_TRACK_GAIN"), QString("-3.00 dB"));
    const QString first = FlacFactory::make(TestEnvironment::home() + "/Music/A/1.flac", options);
    options.tags = FlacFactory::fullTags("Two");
    options.tags << qMakePair(QString("ALBUMARTIST"), QString("Various"))
                 << qMakePair(QString("REPLAYGAIN_TRACK_GAIN"), QString("-5.00 dB"));
    const QString second = FlacFactory::make(TestEnvironment::home() + "/Music/A/2.flac", options);
    app.add({first, second});
    InfoTableModel* model = app.info().infoTableModel();
    EXPECT_EQ(model->rowCount(), 12) << "nothing selected: the twelve rows alone";

    app.selectRows({0});
    ASSERT_EQ(model->rowCount(), 15);
    const QStringList names = {value(app, 12, InfoTableModel::kClef).toString(),
                               value(app, 13, InfoTableModel::kClef).toString(),
                               value(app, 14, InfoTableModel::kClef).toString()};
    EXPECT_EQ(names, (QStringList{"ALBUMARTIST", "LYRICS", "REPLAYGAIN_TRACK_GAIN"}))
        << "the seven edited fields are not repeated";
    EXPECT_EQ(value(app, 13, InfoTableModel::kSrce).toString(), "first / second");
    EXPECT_EQ(model->data(model->index(13, InfoTableModel::kDest), Qt::ToolTipRole).toString(),
              "first\nsecond");
    for (int row = 12; row < 15; ++row) {
        EXPECT_FALSE(editable(app, row)) << row;
        EXPECT_FALSE(edit(app, row, "changed"));
    }
    EXPECT_EQ(value(app, 14, InfoTableModel::kDest).toString(), "-3.00 dB");

    app.selectRows({0, 1});
    ASSERT_EQ(model->rowCount(), 15);
    EXPECT_EQ(value(app, 12, InfoTableModel::kSrce).toString(), "Various") << "shared";
    EXPECT_EQ(value(app, 13, InfoTableModel::kSrce).toString(), "-") << "only one file has it";
    EXPECT_EQ(value(app, 14, InfoTableModel::kSrce).toString(), "-") << "they differ";
}

TEST(InfoView, NumbersStayNumbersAndSeveralArtistsShowAsTheOutputCarriesThem) {
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    TestApp app;
    FlacFactory::Options options;
    options.seconds = 0.2;
    options.tags = {{"TITLE", "Duet"}, {"ARTIST", "First"}, {"ARTIST", "Second"}};
    const QString duet = FlacFactory::make(TestEnvironment::home() + "/Music/Duet.flac", options);
    app.add({duet});
    app.selectRows({0});
    EXPECT_EQ(value(app, 3, InfoTableModel::kSrce).toString(), "First; Second");
    EXPECT_EQ(app.filez()
                  .model()
                  ->data(app.filez().model()->index(0, FileListModel::kArtist), Qt::DisplayRole)
                  .toString(),
              "First; Second");
    EXPECT_EQ(value(app, 1, InfoTableModel::kDest).toString(), "") << "no track: nothing, not 0";

    QStringList said;
    QObject::connect(&app.info(), &VueCtrlrInfoFile::editRefused,
                     [&](const QString& reason) { said << reason; });
    const struct {
        int row;
        const char* typed;
        bool taken;
    } edits[] = {{1, "abc", false}, {1, "3/x", false}, {1, "3/12", true},   {5, "one", false},
                 {5, "2", true},    {7, "May", false}, {7, "2019-04", true}};
    for (const auto& typed : edits) {
        const int alerts = AlertSound::count();
        EXPECT_EQ(edit(app, typed.row, typed.typed), typed.taken) << typed.typed;
        EXPECT_EQ(AlertSound::count() - alerts, typed.taken ? 0 : 1) << typed.typed;
    }
    EXPECT_EQ(said,
              (QStringList{"Le numéro de piste doit être un nombre, comme 3 ou 3/12",
                           "Le numéro de piste doit être un nombre, comme 3 ou 3/12",
                           "Le numéro de disque doit être un nombre, comme 1 ou 1/2",
                           "La date doit être une année, comme 2019, 2019-04 ou 2019-04-01"}));
    EXPECT_EQ(app.reglage().messageLabel()->text(), said.last()) << "said where the user looks";
    const FichierAudioPtr file = app.queue().fichiersAudio().first();
    EXPECT_EQ(file->outMetadataDict()->value("tracknumber").toString(), "3/12");

    // Unedited, both artists reach the output; edited, one replaces both.
    EXPECT_EQ(file->outputTags().values("ARTIST"), (QStringList{"First", "Second"}));
    EXPECT_TRUE(edit(app, 3, "Both Together"));
    EXPECT_EQ(file->outputTags().values("ARTIST"), QStringList{"Both Together"});
    app.selectRows({});
    EXPECT_EQ(app.info().titreTextField()->text(), "-");
}

TEST(InfoView, ALargeSelectionsCommentsAreReadWithoutTheWindowWaiting) {
    TestApp app;
    FlacFactory::Options options;
    options.seconds = 0.1;
    options.tags = FlacFactory::fullTags("Same");
    options.tags << qMakePair(QString("ALBUMARTIST"), QString("Various"))
                 << qMakePair(QString("LABEL"), QString("Label"));
    const QString original = FlacFactory::make(TestEnvironment::home() + "/one.flac", options);
    const QString folder = TestEnvironment::makeFolder("Music/Many");
    constexpr int kFiles = 240;
    for (int index = 0; index < kFiles; ++index) {
        ASSERT_TRUE(
            QFile::copy(original, folder + QString("/%1.flac").arg(index, 3, 10, QChar('0'))));
    }
    app.add({folder});
    ASSERT_EQ(app.queue().countOfFichiersAudio(), kFiles);
    // The last file's comments changed, and not saved yet.
    app.queue().fichierAt(kFiles - 1)->setSourceTags({{"ALBUMARTIST", "Other"}});
    InfoTableModel* model = app.info().infoTableModel();

    QList<int> every;
    for (int row = 0; row < kFiles; ++row) {
        every << row;
    }
    app.selectRows(every);
    ASSERT_EQ(model->rowCount(), 13) << "one row while the comments are read";
    EXPECT_EQ(value(app, 12, InfoTableModel::kClef).toString(), "…");
    QElapsedTimer waited;
    waited.start();
    while (model->rowCount() == 13 && waited.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    ASSERT_EQ(model->rowCount(), 14);
    EXPECT_EQ(value(app, 12, InfoTableModel::kClef).toString(), "ALBUMARTIST");
    EXPECT_EQ(value(app, 12, InfoTableModel::kSrce).toString(), "-") << "the last file's differs";
    EXPECT_EQ(value(app, 13, InfoTableModel::kSrce).toString(), "-") << "the last file lacks it";

    // A new selection makes the reading of the one before it void.
    app.selectRows(every);
    app.selectRows({0});
    ASSERT_EQ(model->rowCount(), 14) << "a small selection is answered at once";
    waited.restart();
    while (waited.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(model->rowCount(), 14);
    EXPECT_EQ(value(app, 12, InfoTableModel::kSrce).toString(), "Various");
    EXPECT_EQ(value(app, 13, InfoTableModel::kSrce).toString(), "Label");
}

TEST(InfoView, AGuessedSheetEncodingShowsAndAnotherOneRetagsTheTracks) {
    TestApp app;
    const QString folder = TestEnvironment::makeFolder("Music/Kino");
    FlacFactory::Options options;
    options.seconds = 2;
    const QString image = FlacFactory::make(folder + "/Album.flac", options);
    // Cyrillic titles written by an old Windows ripper, in CP1251.
    const QByteArray sheet = QByteArray("PERFORMER \"") + "\xca\xe8\xed\xee" +
                             "\"\nFILE \"Album.flac\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"" +
                             "\xc3\xf0\xf3\xef\xef\xe0 \xea\xf0\xee\xe2\xe8" +
                             "\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"" +
                             "\xcf\xe0\xf7\xea\xe0" + "\"\n    INDEX 01 00:01:00\n";
    TestEnvironment::writeFile(folder + "/Album.cue", sheet);
    app.add({image});
    app.selectRows({0, 1});
    QComboBox* encodings = app.info().sheetEncodingPopUp();
    EXPECT_FALSE(encodings->isHidden()) << "tracks of one sheet file";
    EXPECT_EQ(encodings->currentText(), "WINDOWS-1251");
    app.selectRows({0});
    EXPECT_EQ(value(app, 2, InfoTableModel::kDest).toString(), QString::fromUtf8("Группа крови"));

    // Read as Western European, then back: the tags follow each time.
    app.info().changeSheetEncoding("WINDOWS-1252");
    ASSERT_TRUE(PassRunner::waitFor(
        [&] { return app.queue().fichierAt(0)->imageTrack()->sheetEncoding == "WINDOWS-1252"; }));
    EXPECT_EQ(app.queue().fichierAt(1)->outMetadataDict()->value("title").toString(),
              QString::fromLatin1("\xcf\xe0\xf7\xea\xe0"));
    app.info().changeSheetEncoding("WINDOWS-1251");
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return app.queue().fichierAt(1)->outMetadataDict()->value("title").toString() ==
               QString::fromUtf8("Пачка");
    }));
    EXPECT_EQ(app.queue().fichierAt(1)->destinationURL()->fileName(),
              QString::fromUtf8("02 - Пачка.m4a"));

    app.add({source("Plain.flac", "Plain")});
    app.selectRows({2});
    EXPECT_TRUE(encodings->isHidden()) << "a plain file has no sheet";
}
