// A library kept in step: 1,000 tagged FLAC files with covers in albums of
// 50, converted once into a mirrored tree by the program's batch mode, then
// converted again unchanged, then again with 10 sources re-tagged. Each
// re-run is measured against the first pass of the same run.
#include "BenchReport.h"

#include "support/FlacFactory.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

namespace {
double timedSync(const QStringList& arguments) {
    return BenchReport::secondsToRun(QStringLiteral(TONEBRIDGE_BINARY), arguments);
}

void retag(const QString& path, const QString& title) {
    QProcess metaflac;
    metaflac.start(QStringLiteral("metaflac"), {QStringLiteral("--remove-tag=TITLE"),
                                                QStringLiteral("--set-tag=TITLE=") + title, path});
    metaflac.waitForFinished(-1);
}
} // namespace

int main(int argc, char** argv) {
    TestEnvironment::setUp();
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    const double seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toDouble() : 10.0;
    const QString library = TestEnvironment::home() + QStringLiteral("/Music");
    FlacFactory::Options options;
    options.seconds = seconds;
    options.noise = 0.05;
    options.picturePath = FlacFactory::makePicture(TestEnvironment::home() + "/cover.jpg", "jpg");
    QStringList sources;
    for (int index = 0; index < count; ++index) {
        options.tags = FlacFactory::libraryTags(QStringLiteral("Track %1").arg(index + 1));
        sources << FlacFactory::make(QStringLiteral("%1/Album %2/%3 Track.flac")
                                         .arg(library)
                                         .arg(index / 50 + 1)
                                         .arg(index % 50 + 1, 2, 10, QLatin1Char('0')),
                                     options);
    }
    const QStringList arguments = {
        QStringLiteral("--convert"), QStringLiteral("--destination"),  QStringLiteral("tree"),
        QStringLiteral("--folder"),  TestEnvironment::home() + "/Out", library};
    const double first = timedSync(arguments);
    BenchReport::figure("sync_first_pass_s", first);
    const double unchanged = timedSync(arguments);
    BenchReport::figure("sync_unchanged_s", unchanged);
    BenchReport::figure("sync_unchanged_ratio", unchanged / first);
    for (int index = 0; index < 10 && index < count; ++index) {
        retag(sources.at(index * count / 10), QStringLiteral("Fixed %1").arg(index));
    }
    const double retagged = timedSync(arguments);
    BenchReport::figure("sync_retag_s", retagged);
    BenchReport::figure("sync_retag_ratio", retagged / first);
    TestEnvironment::tearDown();
    return 0;
}
