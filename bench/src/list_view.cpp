// The file list with a large queue, offscreen: a full reload with the
// painting of the visible rows, one file's new status, a scroll from the top
// to the bottom page by page, and every file selected at once.
#include "BenchReport.h"

#include "model/QueueStore.h"
#include "storage/CocoLite.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/TestApp.h"
#include "support/TestEnvironment.h"
#include "ui/TableFichiers.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrReglage.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <QLineEdit>
#include <QScrollBar>
#include <unistd.h>

namespace {
// Writes the queue's rows straight into the database, as many starts of the
// program would have left them, each file with a library's comments.
void fillDatabase(const QString& databasePath, const QStringList& sources) {
    CocoLite db(databasePath);
    QueueStore store(db);
    store.migrate();
    db.beginTransaction();
    TagList comments;
    for (const auto& [name, value] : FlacFactory::libraryTags()) {
        comments.append(name, value);
    }
    int index = 0;
    for (const QString& path : sources) {
        const QString name = QFileInfo(path).completeBaseName();
        const qint32 url = db.inputDBrequest(
            QStringLiteral(
                "INSERT INTO fileURL (furl, fname, fdir, fext, isdir, futi, fsize, ftype, "
                "datemodif, active) VALUES ('%1', '%2', '%3', 'flac', 0, 'audio/flac', 4000, 2, 0, "
                "1)")
                .arg(path, name, QFileInfo(path).path()));
        const qint32 in =
            db.inputDBrequest(QStringLiteral("INSERT INTO audioMetadata (fileid, amdtype, "
                                             "tracknumber, title, artist, album, genre, "
                                             "discnumber, date, `sample-rate`, bps, channels) "
                                             "VALUES (-%1, 1, %2, 'Song number %1', 'Artist %4', "
                                             "'Album %3', 'Jazz', 1, '2020', 44100, 16, 2)")
                                  .arg(index + 1)
                                  .arg(index % 12 + 1)
                                  .arg(index / 12)
                                  .arg(index / 100));
        const qint32 out =
            db.inputDBrequest(QStringLiteral("INSERT INTO audioMetadata (fileid, amdtype, "
                                             "tracknumber, title, artist, album, genre, "
                                             "discnumber, date, `sample-rate`, bps, channels) "
                                             "VALUES (-%1, 2, %2, 'Song number %1', 'Artist %4', "
                                             "'Album %3', 'Jazz', 1, '2020', 44100, 16, 2)")
                                  .arg(index + 1)
                                  .arg(index % 12 + 1)
                                  .arg(index / 12)
                                  .arg(index / 100));
        const qint32 file = db.inputDBrequest(
            QStringLiteral(
                "INSERT INTO audioFile (inaudiourl, outaudiourl, tmpaudiourl, tmpimgurl, "
                "userimgurl, "
                "xtindx, audiotype, status, outname, imgautofind, imgsrcttype, active, inmetadata, "
                "outmetadata) VALUES (%1, 0, 0, 0, 0, 0, 'flac', 1, '%2.m4a', 1, 0, 1, %3, %4)")
                .arg(url)
                .arg(name)
                .arg(in)
                .arg(out));
        db.inputDBrequest(
            QStringLiteral("UPDATE audioMetadata SET fileid = %1 WHERE amdid IN (%2, %3)")
                .arg(file)
                .arg(in)
                .arg(out));
        store.saveSourceTags(quint32(file), comments);
        ++index;
    }
    db.commitTransaction();
}

// Scrolls from the top to the bottom, page by page, painting each page.
double scrollAll(TableFichiers* table) {
    QScrollBar* scroll = table->verticalScrollBar();
    scroll->setValue(0);
    QElapsedTimer timer;
    timer.start();
    while (scroll->value() < scroll->maximum()) {
        scroll->setValue(scroll->value() + scroll->pageStep());
        table->viewport()->repaint();
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

double paint(TableFichiers* table) {
    QElapsedTimer timer;
    timer.start();
    table->viewport()->repaint();
    return double(timer.nsecsElapsed()) / 1e6;
}
} // namespace

int main(int argc, char** argv) {
    TestEnvironment::setUp();
    QApplication application(argc, argv);
    TestEnvironment::settings();
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    const QString original = FlacFactory::make(TestEnvironment::home() + "/one.flac");
    const QString folder = TestEnvironment::makeFolder(QStringLiteral("Music/Big"));
    QStringList sources;
    for (int index = 0; index < count; ++index) {
        sources
            << QStringLiteral("%1/track %2.flac").arg(folder).arg(index, 5, 10, QLatin1Char('0'));
        ::link(QFile::encodeName(original).constData(),
               QFile::encodeName(sources.last()).constData());
    }
    QDir().mkpath(AppDelegate::dataFolderPath());
    fillDatabase(AppDelegate::databasePath(), sources);
    // Outputs named from their tags in one folder, as the pattern case types.
    TestEnvironment::defaults().setInteger(2, QStringLiteral("DestinationType"));
    TestEnvironment::defaults().setFolder(TestEnvironment::makeFolder(QStringLiteral("Out")),
                                          QStringLiteral("DestinationDossier"));
    TestEnvironment::defaults().setBool(true, QStringLiteral("DestinationNommerSelonTags"));

    TestApp app;
    app.window().resize(1240, 800);
    QApplication::processEvents();
    TableFichiers* table = app.filez().tableVue();
    paint(table);

    QElapsedTimer timer;
    timer.start();
    app.filez().raffraichirTableau();
    table->viewport()->repaint();
    const double reload = double(timer.nsecsElapsed()) / 1e6;

    // One file's new status shown: its row redrawn, not the list reloaded.
    table->scrollToTop();
    QApplication::processEvents();
    const FichierAudioPtr shown = app.filez().filez().at(3);
    constexpr int kUpdates = 200;
    timer.restart();
    for (int update = 0; update < kUpdates; ++update) {
        shown->setStatusConversion(update % 2 == 0 ? kStatusConvEncoursDecodage
                                                   : kStatusConvEncoursCodage);
        app.reglage().fichierChange(app.delegate().core().controleur(), shown);
        table->viewport()->repaint();
    }
    const double statusUpdate = double(timer.nsecsElapsed()) / 1e6 / kUpdates;

    const double scrolled = scrollAll(table);

    // Every file selected: the information view shows what they share,
    // their carried comments read from the database for the first time.
    QList<qint64> everyRow;
    for (qint64 row = 0; row < count; ++row) {
        everyRow << row;
    }
    timer.restart();
    app.reglage().setSelectionFichiers(everyRow);
    const double selectAll = double(timer.nsecsElapsed()) / 1e6;
    // A naming pattern typed key by key, one file selected: each key's
    // example line.
    app.reglage().setSelectionFichiers({5});
    const QString typed = QStringLiteral("%albumartist%/%album%/%disc%-%track% %title%");
    timer.restart();
    for (qsizetype length = 1; length <= typed.size(); ++length) {
        app.reglage().motifTextField()->setText(typed.left(length));
        emit app.reglage().motifTextField()->textEdited(typed.left(length));
    }
    const double patternKey = double(timer.nsecsElapsed()) / 1e6 / double(typed.size());
    const QByteArray name = QByteArray::number(count);
    BenchReport::figure(("reload_" + name + "_ms").constData(), reload);
    BenchReport::figure(("scroll_" + name + "_ms").constData(), scrolled);
    BenchReport::figure("status_update_ms", statusUpdate);
    BenchReport::figure(("select_all_" + name + "_ms").constData(), selectAll);
    BenchReport::figure("pattern_example_ms", patternKey);
    TestEnvironment::tearDown();
    return 0;
}
