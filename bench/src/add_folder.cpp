// Adding a folder of FLAC files tagged as a library's are, with pictures,
// through the window's add path, against reading the same with metaflac
// alone, one file after another: its stream facts and tags, then its
// picture (two runs per file); and the longest the main thread's event loop
// waited.
#include "BenchReport.h"

#include "conversion/ExternalTools.h"
#include "conversion/FileAdder.h"
#include "conversion/MetaflacOutputParser.h"
#include "support/FlacFactory.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <QProcess>
#include <QTimer>
#include <unistd.h>

namespace {
void runMetaflac(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(ExternalTools::metaflacPath(), arguments);
    process.waitForFinished();
    process.readAllStandardOutput();
    process.readAllStandardError();
}

double metaflacOnly(const QStringList& paths, const QString& pictureFolder) {
    QStringList showArguments;
    for (const QString& name : MetaflacOutputParser::streamNames()) {
        showArguments << QStringLiteral("--show-%1").arg(name);
    }
    for (const QString& name : MetaflacOutputParser::tagNames()) {
        showArguments << QStringLiteral("--show-tag=") + name;
    }
    QElapsedTimer timer;
    timer.start();
    int index = 0;
    for (const QString& path : paths) {
        runMetaflac(showArguments + QStringList{path});
        runMetaflac(
            {QStringLiteral("--export-picture-to=%1/%2.jpg").arg(pictureFolder).arg(index++),
             path});
    }
    return double(timer.nsecsElapsed()) / 1e9;
}
} // namespace

int main(int argc, char** argv) {
    TestEnvironment::setUp();
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    FlacFactory::Options options;
    options.seconds = 0.2;
    options.tags = FlacFactory::libraryTags();
    options.picturePath = FlacFactory::makePicture(TestEnvironment::home() + "/cover.jpg", "jpg");
    const QString original = FlacFactory::make(TestEnvironment::home() + "/one.flac", options);
    const QString folder = TestEnvironment::makeFolder(QStringLiteral("Album"));
    QStringList paths;
    for (int index = 0; index < count; ++index) {
        paths << QStringLiteral("%1/track %2.flac").arg(folder).arg(index, 4, 10, QLatin1Char('0'));
        ::link(QFile::encodeName(original).constData(),
               QFile::encodeName(paths.last()).constData());
    }

    // Once unmeasured, so both runs find the files in the page cache.
    metaflacOnly(paths.mid(0, 50), TestEnvironment::makeFolder(QStringLiteral("warm")));

    TestDatabase context(QStringLiteral("add.db"));
    // The window's add path: tags read on the pool, records made in batches;
    // a timer every 10 ms measures how long the event loop ever waited.
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    tick.start(10);
    context.fileAdder()->add({folder});
    context.fileAdder()->waitUntilDone();
    tick.stop();
    const double program = double(timer.nsecsElapsed()) / 1e9;
    if (context.queue().countOfFichiersAudio() != count) {
        std::fprintf(stderr, "queued %lld of %d\n", context.queue().countOfFichiersAudio(), count);
        return 1;
    }
    const double alone =
        metaflacOnly(paths, TestEnvironment::makeFolder(QStringLiteral("pictures")));
    const QByteArray name = QStringLiteral("add_%1").arg(count).toUtf8();
    BenchReport::figure((name + "_files_s").constData(), program);
    BenchReport::figure((name + "_metaflac_only_s").constData(), alone);
    BenchReport::figure((name + "_ratio").constData(), program / alone);
    BenchReport::figure("ui_stall_max_ms", double(longestStall));
    TestEnvironment::tearDown();
    return 0;
}
