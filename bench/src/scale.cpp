// A library's worth of queued files: queues of each size written straight
// through the store (no metaflac, so 100,000 take minutes), then the window
// started over them, every file selected, sorted by title, reset and
// removed; and real additions through the window's add path, with the
// longest wait of the event loop and the per-file time.
#include "BenchReport.h"

#include "conversion/FileAdder.h"
#include "conversion/SelectionTagReader.h"
#include "model/QueueStore.h"
#include "storage/CocoLite.h"
#include "support/FlacFactory.h"
#include "support/TestApp.h"
#include "support/TestEnvironment.h"
#include "ui/FileListModel.h"
#include "ui/TableFichiers.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrInfoFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {
double milliseconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// The resident memory of this process, in MB.
double residentMb() {
    QFile status(QStringLiteral("/proc/self/statm"));
    status.open(QIODevice::ReadOnly);
    const QList<QByteArray> fields = status.readAll().split(' ');
    return double(fields.value(1).toLongLong()) * double(::sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Hard links to one tagged FLAC file, in Artist/Album folders of 12 tracks;
// a file takes 65,000 links at most, so each 60,000 link to a copy of it.
QStringList library(const QString& original, const QString& root, int count) {
    constexpr int kLinksPerCopy = 60000;
    QStringList paths;
    QString target = original;
    for (int index = 0; index < count; ++index) {
        if (index % kLinksPerCopy == 0) {
            target = root + QStringLiteral("/.original-%1.flac").arg(index / kLinksPerCopy);
            QFile::copy(original, target);
        }
        const QString folder =
            QStringLiteral("%1/Artist %2/Album %3").arg(root).arg(index / 120).arg(index / 12);
        QDir().mkpath(folder);
        paths << QStringLiteral("%1/%2 - Track.flac")
                     .arg(folder)
                     .arg(index % 12 + 1, 2, 10, QLatin1Char('0'));
        if (::link(QFile::encodeName(target).constData(),
                   QFile::encodeName(paths.last()).constData()) != 0) {
            std::perror("link");
            std::exit(1);
        }
    }
    return paths;
}

// The queue as many starts of the program would have left it, each file
// with a library's comments.
void fillQueue(const QStringList& sources) {
    QDir().mkpath(AppDelegate::dataFolderPath());
    CocoLite db(AppDelegate::databasePath());
    db.outputDBrequest(QStringLiteral("PRAGMA journal_mode=WAL"));
    QueueStore store(db);
    store.migrate();
    TagList comments;
    for (const auto& [name, value] : FlacFactory::libraryTags()) {
        comments.append(name, value);
    }
    store.beginTransaction();
    int index = 0;
    for (const QString& path : sources) {
        auto record = std::make_shared<FichierAudio>(&store);
        record->setElementURL(PersistentURL::persistentURLwithURL(path));
        record->setStatusConversion(kStatusConvPret);
        record->setRootFolder(QFileInfo(path).path());
        for (const MetadataDictionaryPtr& tags :
             {record->inMetadataDict(), record->outMetadataDict()}) {
            tags->insert(QStringLiteral("title"),
                         QStringLiteral("Title %1").arg(sources.size() - index));
            tags->insert(QStringLiteral("artist"), QStringLiteral("Artist %1").arg(index / 120));
            tags->insert(QStringLiteral("album"), QStringLiteral("Album %1").arg(index / 12));
            tags->insert(QStringLiteral("tracknumber"), index % 12 + 1);
        }
        record->setSourceTags(comments);
        record->save();
        ++index;
    }
    store.commitTransaction();
}

void removeQueue() {
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile::remove(AppDelegate::databasePath() + suffix);
    }
}

void queueOf(int count, const QString& original) {
    const QByteArray size = QByteArray::number(count);
    const auto figure = [&size](const char* name, const char* unit, double value) {
        BenchReport::figure((QByteArray(name) + "_" + size + unit).constData(), value);
    };
    const QString root = TestEnvironment::makeFolder("Queue" + QString::number(count));
    const QStringList sources = library(original, root, count);
    fillQueue(sources);
    const double before = residentMb();
    QElapsedTimer timer;
    timer.start();
    {
        TestApp app;
        QApplication::processEvents();
        figure("startup", "_ms", milliseconds(timer));
        figure("startup", "_rss_mb", residentMb() - before);
        TableFichiers* table = app.filez().tableVue();

        // The window answers at once; the comments the selection carries
        // come from their own thread a while later.
        bool commentsRead = false;
        const QMetaObject::Connection read =
            QObject::connect(app.core().selectionTagReader(), &SelectionTagReader::carriedTagsRead,
                             [&commentsRead] { commentsRead = true; });
        timer.restart();
        table->selectAll();
        QApplication::processEvents();
        figure("select_all", "_ms", milliseconds(timer));
        while (!commentsRead && count > VueCtrlrInfoFile::kCommentsReadAtOnce &&
               timer.elapsed() < 600000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        if (commentsRead) {
            figure("select_all_comments", "_ms", milliseconds(timer));
        }
        QObject::disconnect(read);
        table->clearSelection();
        QApplication::processEvents();

        timer.restart();
        app.filez().sortDescriptorsDidChange(FileListModel::kTitle, Qt::AscendingOrder);
        QApplication::processEvents();
        figure("sort", "_ms", milliseconds(timer));

        timer.restart();
        app.queue().reinitialiserEtatFichiers();
        QApplication::processEvents();
        figure("reset", "_ms", milliseconds(timer));

        QList<qint64> every;
        for (qint64 row = 0; row < count; ++row) {
            every << row;
        }
        timer.restart();
        app.queue().supprimerLesFichiersDansLindex(every, false);
        QApplication::processEvents();
        figure("remove_all", "_ms", milliseconds(timer));
    }
    removeQueue();
    QDir(root).removeRecursively();
}

// Adds the folder through the window's add path: per-file time and the
// longest time the event loop waited.
double addThroughTheWindow(TestApp& app, const QString& folder, qint64* longestStall) {
    QElapsedTimer sinceTick;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { *longestStall = std::max(*longestStall, sinceTick.restart()); });
    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    tick.start(10);
    app.add({folder});
    tick.stop();
    return double(timer.nsecsElapsed()) / 1e9;
}
} // namespace

int main(int argc, char** argv) {
    TestEnvironment::setUp();
    QApplication application(argc, argv);
    TestEnvironment::settings();
    QList<int> sizes = {1000, 10000, 100000};
    bool additionsToo = true;
    if (argc > 1) {
        sizes.clear();
        for (int index = 1; index < argc; ++index) {
            if (qstrcmp(argv[index], "--queues-only") == 0) {
                additionsToo = false;
            } else {
                sizes << QString::fromLocal8Bit(argv[index]).toInt();
            }
        }
    }
    FlacFactory::Options options;
    options.seconds = 0.2;
    options.tags = FlacFactory::libraryTags();
    options.picturePath = FlacFactory::makePicture(TestEnvironment::home() + "/cover.jpg", "jpg");
    const QString original = FlacFactory::make(TestEnvironment::home() + "/one.flac", options);
    for (const int count : sizes) {
        queueOf(count, original);
    }
    if (!additionsToo) {
        TestEnvironment::tearDown();
        return 0;
    }

    // Real additions of 1,000 and 10,000 files, then the larger one again
    // unchanged.
    qint64 longestStall = 0;
    QList<double> perFile;
    const QList<int> additions = {1000, std::min(10000, sizes.last())};
    for (const int count : additions) {
        const QString folder = TestEnvironment::makeFolder("Add" + QString::number(count));
        library(original, folder, count);
        TestApp app;
        const double seconds = addThroughTheWindow(app, folder, &longestStall);
        perFile << seconds / count;
        BenchReport::figure(("add_per_file_" + QByteArray::number(count) + "_ms").constData(),
                            perFile.last() * 1000.0);
        if (app.queue().countOfFichiersAudio() != count) {
            std::fprintf(stderr, "only %lld of %d files were added\n",
                         app.queue().countOfFichiersAudio(), count);
            return 1;
        }
        if (count == additions.last()) {
            qint64 ignored = 0;
            const double again = addThroughTheWindow(app, folder, &ignored);
            BenchReport::figure(("readd_unchanged_" + QByteArray::number(count) + "_s").constData(),
                                again);
        }
        QList<qint64> every;
        for (qint64 row = 0; row < app.queue().countOfFichiersAudio(); ++row) {
            every << row;
        }
        app.queue().supprimerLesFichiersDansLindex(every, false);
    }
    removeQueue();
    BenchReport::figure(("add_per_file_ratio_" + QByteArray::number(additions.last())).constData(),
                        perFile.last() / perFile.first());
    BenchReport::figure("add_stall_max_ms", double(longestStall));
    TestEnvironment::tearDown();
    return 0;
}
