// A conversion pass of ten three-minute albums tracks with tags and cover,
// by the program's batch mode and by the ffmpeg command-line tool converting
// one file at a time, in the same run.
#include "BenchReport.h"

#include "support/FlacFactory.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

namespace {
double timed(const QString& program, const QStringList& arguments) {
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        std::exit(1);
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

double tonebridge(const QStringList& sources, const char* codec) {
    const QString out = TestEnvironment::makeFolder(QStringLiteral("tonebridge-%1").arg(codec));
    return timed(QStringLiteral(TONEBRIDGE_BINARY),
                 QStringList{QStringLiteral("--convert"), QStringLiteral("--codec"), QLatin1String(codec),
                             QStringLiteral("--destination"), QStringLiteral("folder"),
                             QStringLiteral("--folder"), out} +
                     sources);
}

double ffmpeg(const QStringList& sources, const char* codec) {
    const QString out = TestEnvironment::makeFolder(QStringLiteral("ffmpeg-%1").arg(codec));
    const bool mp3 = qstrcmp(codec, "mp3") == 0;
    double seconds = 0.0;
    for (const QString& source : sources) {
        const QString output = out + QLatin1Char('/') + QFileInfo(source).completeBaseName() +
                               QLatin1Char('.') + QLatin1String(codec);
        QStringList arguments = {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                                 QStringLiteral("-i"), source, QStringLiteral("-map"),
                                 QStringLiteral("0:a"), QStringLiteral("-map"), QStringLiteral("0:v?"),
                                 QStringLiteral("-c:v"), QStringLiteral("copy"),
                                 QStringLiteral("-disposition:v"), QStringLiteral("attached_pic")};
        arguments << QStringLiteral("-c:a")
                  << (mp3 ? QStringLiteral("libmp3lame") : QStringLiteral("aac"))
                  << QStringLiteral("-b:a") << (mp3 ? QStringLiteral("320k") : QStringLiteral("256k"))
                  << output;
        seconds += timed(QStringLiteral("ffmpeg"), arguments);
    }
    return seconds;
}
} // namespace

int main(int argc, char** argv) {
    TestEnvironment::setUp();
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
    const double seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toDouble() : 180.0;
    FlacFactory::Options options;
    options.seconds = seconds;
    options.noise = 0.05;
    options.picturePath = FlacFactory::makePicture(TestEnvironment::home() + "/cover.jpg", "jpg");
    QStringList sources;
    for (int index = 0; index < count; ++index) {
        options.tags = FlacFactory::fullTags(QStringLiteral("Track %1").arg(index + 1));
        sources << FlacFactory::make(QStringLiteral("%1/Album/%2 Track.flac")
                                         .arg(TestEnvironment::home())
                                         .arg(index + 1, 2, 10, QLatin1Char('0')),
                                     options);
    }
    for (const char* codec : {"m4a", "mp3"}) {
        const double ours = tonebridge(sources, codec);
        const double theirs = ffmpeg(sources, codec);
        const QByteArray name = QByteArray("_") + codec;
        BenchReport::figure(("pass" + name + "_s").constData(), ours);
        BenchReport::figure(("ffmpeg" + name + "_s").constData(), theirs);
        BenchReport::figure(("pass" + name + "_ratio").constData(), ours / theirs);
    }
    TestEnvironment::tearDown();
    return 0;
}
