// Start-up load of a large queue, and what the journal mode costs when
// files are added one statement at a time.
#include "BenchReport.h"

#include "support/FlacFactory.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {
QStringList copies(const QString& original, const QString& folder, int count) {
    QDir().mkpath(folder);
    QStringList paths;
    for (int index = 0; index < count; ++index) {
        const QString path =
            QStringLiteral("%1/track %2.flac").arg(folder).arg(index, 5, 10, QLatin1Char('0'));
        ::link(QFile::encodeName(original).constData(), QFile::encodeName(path).constData());
        paths << path;
    }
    return paths;
}

void useJournal(TestDatabase& context, const char* mode) {
    context.database()->outputDBrequest(QStringLiteral("PRAGMA journal_mode=%1").arg(mode));
    context.database()->inputDBrequest(
        QStringLiteral("PRAGMA synchronous=%1").arg(qstrcmp(mode, "WAL") == 0 ? "NORMAL" : "FULL"));
}

double addAll(TestDatabase& context, const QStringList& paths) {
    QElapsedTimer timer;
    timer.start();
    for (const QString& path : paths) {
        context.queue().ajouterUnFichier(path);
    }
    return double(timer.nsecsElapsed()) / 1e9;
}
} // namespace

int main(int argc, char** argv) {
    TestEnvironment::setUp();
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    const QString original =
        FlacFactory::make(TestEnvironment::home() + "/one.flac",
                          {0.05, 44100, 2, 16, FlacFactory::fullTags(), {}, 0.0, {}});

    {
        const QStringList sample = copies(original, TestEnvironment::home() + "/journal", 500);
        TestDatabase deleteJournal(QStringLiteral("delete.db"));
        useJournal(deleteJournal, "DELETE");
        BenchReport::figure("add_500_files_journal_delete_s", addAll(deleteJournal, sample));
        TestDatabase walJournal(QStringLiteral("wal.db"));
        useJournal(walJournal, "WAL");
        BenchReport::figure("add_500_files_journal_wal_s", addAll(walJournal, sample));
    }

    const QStringList paths = copies(original, TestEnvironment::home() + "/Music", count);
    TestDatabase context(QStringLiteral("queue.db"));
    useJournal(context, "WAL");
    addAll(context, paths);
    const double before = BenchReport::residentMegabytes();

    GestionnairePileFichier loaded(context.records());
    QElapsedTimer timer;
    timer.start();
    loaded.loadFromSqlite();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (loaded.countOfFichiersAudio() != count) {
        std::fprintf(stderr, "loaded %lld files of %d\n", loaded.countOfFichiersAudio(), count);
        return 1;
    }
    const QByteArray name = QStringLiteral("load_%1_files").arg(count).toUtf8();
    BenchReport::figure((name + "_s").constData(), seconds);
    BenchReport::figure((name + "_rss_mb").constData(), BenchReport::residentMegabytes());
    BenchReport::figure((name + "_rss_growth_mb").constData(),
                        BenchReport::residentMegabytes() - before);
    TestEnvironment::tearDown();
    return 0;
}
