// A conversion pass of ten three-minute album tracks with a library's tags
// and a cover, in the same run: by the program's batch mode one file at a
// time against the ffmpeg command line one file at a time, and with its
// default number of jobs (one per core) against that command line run by
// `xargs -P cores`.
#include "BenchReport.h"

#include "model/CodecQuality.h"
#include "model/OutputCodec.h"
#include "support/FlacFactory.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

namespace {
double tonebridge(const QStringList& sources, const char* codec, const char* jobs,
                  const QString& pattern = QString(), const QStringList& options = {}) {
    static int run = 0;
    const QString out = TestEnvironment::makeFolder(QStringLiteral("tonebridge-%1-%2%3-%4")
                                                        .arg(codec, jobs)
                                                        .arg(pattern.isEmpty() ? "" : "-named")
                                                        .arg(++run));
    QStringList arguments = {QStringLiteral("--convert"),
                             QStringLiteral("--codec"),
                             QLatin1String(codec),
                             QStringLiteral("--destination"),
                             QStringLiteral("folder"),
                             QStringLiteral("--folder"),
                             out};
    if (!pattern.isEmpty()) {
        arguments << QStringLiteral("--pattern") << pattern;
    }
    if (qstrcmp(jobs, "auto") != 0) {
        arguments << QStringLiteral("--jobs") << QLatin1String(jobs);
    }
    return BenchReport::secondsToRun(QStringLiteral(TONEBRIDGE_BINARY),
                                     arguments + options + sources);
}

// The command line a user would type for one file, with the same codec, bit
// rate, tags and cover as the program writes.
QStringList ffmpegArguments(const QString& source, const QString& output, const char* codec) {
    QStringList arguments = {QStringLiteral("-nostdin"),
                             QStringLiteral("-v"),
                             QStringLiteral("error"),
                             QStringLiteral("-i"),
                             source,
                             QStringLiteral("-map"),
                             QStringLiteral("0:a")};
    // FFmpeg 5.1 writes no cover into Ogg: the Opus line goes without one.
    if (qstrcmp(codec, "opus") != 0) {
        arguments << QStringLiteral("-map") << QStringLiteral("0:v?") << QStringLiteral("-c:v")
                  << QStringLiteral("copy") << QStringLiteral("-disposition:v")
                  << QStringLiteral("attached_pic");
    }
    const OutputCodec* table = OutputCodec::find(QLatin1String(codec));
    arguments << QStringLiteral("-c:a") << QLatin1String(table->encoder);
    // The same default quality: a bit rate, or LAME's VBR level.
    const QString quality = CodecQuality::defaultQuality(CodecQuality::familyOf(*table));
    if (CodecQuality::bitRate(quality) > 0) {
        arguments << QStringLiteral("-b:a") << QString::number(CodecQuality::bitRate(quality));
    } else if (!quality.isEmpty()) {
        arguments << QStringLiteral("-q:a") << QString::number(CodecQuality::level(quality));
    }
    return arguments << output;
}

QString outputName(const QString& folder, const QString& source, const char* codec) {
    return folder + QLatin1Char('/') + QFileInfo(source).completeBaseName() + QLatin1Char('.') +
           OutputCodec::extensionOf(QLatin1String(codec));
}

double ffmpeg(const QStringList& sources, const char* codec) {
    const QString out = TestEnvironment::makeFolder(QStringLiteral("ffmpeg-%1").arg(codec));
    double seconds = 0.0;
    for (const QString& source : sources) {
        seconds += BenchReport::secondsToRun(
            QStringLiteral("ffmpeg"),
            ffmpegArguments(source, outputName(out, source, codec), codec));
    }
    return seconds;
}

// The strongest thing a user could type instead: one ffmpeg per file, as
// many at once as there are cores.
double xargsFfmpeg(const QStringList& sources, const char* codec, int cores) {
    const QString out = TestEnvironment::makeFolder(QStringLiteral("xargs-%1").arg(codec));
    QStringList arguments = ffmpegArguments(QStringLiteral("$1"), QStringLiteral("$2"), codec);
    for (QString& argument : arguments) {
        argument = QLatin1Char('"') + argument + QLatin1Char('"');
    }
    const QString script =
        QStringLiteral(
            "printf '%s\\0' \"$@\" | xargs -0 -P %1 -I{} sh -c 'set -- \"$1\" \"%2/$(basename "
            "\"$1\" .flac).%3\"; exec ffmpeg %4' _ {}")
            .arg(cores)
            .arg(out, OutputCodec::extensionOf(QLatin1String(codec)),
                 arguments.join(QLatin1Char(' ')));
    return BenchReport::secondsToRun(
        QStringLiteral("sh"),
        QStringList{QStringLiteral("-c"), script, QStringLiteral("xargs")} + sources);
}

// Copies of the sources, for a pass that deletes what it converts.
QStringList copiesOf(const QStringList& sources, int round) {
    QStringList copies;
    for (const QString& source : sources) {
        const QString copy = QStringLiteral("%1/Deleted %2/%3")
                                 .arg(TestEnvironment::home())
                                 .arg(round)
                                 .arg(QFileInfo(source).fileName());
        QDir().mkpath(QFileInfo(copy).absolutePath());
        QFile::copy(source, copy);
        copies << copy;
    }
    // On the disk already, as a library's files are: the pass pays only for
    // its own writes.
    ::sync();
    return copies;
}

// The parallel m4a pass with the sources deleted once their outputs are on
// the disk, against the same pass keeping them: the best of three each, the
// two alternated, so the machine's drift falls on both.
void deleteSourceCost(const QStringList& sources) {
    double keeping = 1e9;
    double deleting = 1e9;
    for (int round = 0; round < 3; ++round) {
        keeping = std::min(keeping, tonebridge(sources, "m4a", "auto"));
        deleting = std::min(deleting, tonebridge(copiesOf(sources, round), "m4a", "auto", QString(),
                                                 {QStringLiteral("--delete-source")}));
    }
    BenchReport::figure("pass_m4a_keep_source_parallel_s", keeping);
    BenchReport::figure("pass_m4a_delete_source_parallel_s", deleting);
    BenchReport::figure("pass_m4a_delete_source_ratio", deleting / keeping);
}

// The parallel m4a pass measuring every file's loudness and writing its
// album's values afterwards, against the same pass copying the source's:
// the best of five each, alternated, the difference being of the size of
// the machine's drift.
void replayGainCost(const QStringList& sources) {
    double copying = 1e9;
    double measuring = 1e9;
    for (int round = 0; round < 5; ++round) {
        copying = std::min(copying, tonebridge(sources, "m4a", "auto"));
        measuring = std::min(measuring,
                             tonebridge(sources, "m4a", "auto", QString(),
                                        {QStringLiteral("--replaygain"), QStringLiteral("scan")}));
    }
    BenchReport::figure("pass_m4a_copy_replaygain_parallel_s", copying);
    BenchReport::figure("pass_m4a_scan_replaygain_parallel_s", measuring);
    BenchReport::figure("pass_replaygain_ratio", measuring / copying);
}

// 96 kHz 24-bit sources to m4a at 48 kHz ("Fréquence maximale"), one job,
// against the FFmpeg command line doing the same with the same resampler
// one file at a time.
void resampleCost(int count, double seconds) {
    FlacFactory::Options options;
    options.seconds = seconds;
    options.noise = 0.05;
    options.sampleRate = 96000;
    options.bitsPerSample = 24;
    QStringList sources;
    for (int index = 0; index < count; ++index) {
        sources << FlacFactory::make(QStringLiteral("%1/HiRes/%2 Track.flac")
                                         .arg(TestEnvironment::home())
                                         .arg(index + 1, 2, 10, QLatin1Char('0')),
                                     options);
    }
    const double ours = tonebridge(sources, "m4a", "1", QString(),
                                   {QStringLiteral("--max-rate"), QStringLiteral("48000")});
    const QString out = TestEnvironment::makeFolder(QStringLiteral("ffmpeg-resampled"));
    double theirs = 0.0;
    for (const QString& source : sources) {
        QStringList arguments = ffmpegArguments(source, outputName(out, source, "m4a"), "m4a");
        arguments.insert(arguments.size() - 1, QStringLiteral("-af"));
        arguments.insert(arguments.size() - 1,
                         QStringLiteral("aresample=resampler=soxr:precision=28"));
        arguments.insert(arguments.size() - 1, QStringLiteral("-ar"));
        arguments.insert(arguments.size() - 1, QStringLiteral("48000"));
        theirs += BenchReport::secondsToRun(QStringLiteral("ffmpeg"), arguments);
    }
    BenchReport::figure("pass_96k_to_48k_s", ours);
    BenchReport::figure("ffmpeg_96k_to_48k_s", theirs);
    BenchReport::figure("pass_96k_to_48k_ratio", ours / theirs);
}

// A disc image of 15 tracks with its cue sheet, to m4a with 2 jobs, against
// the same audio given as 15 separate FLAC files cut from it by flac.
void imageCost(double secondsPerTrack) {
    constexpr int kTracks = 15;
    const QString folder = TestEnvironment::makeFolder(QStringLiteral("Image"));
    FlacFactory::Options options;
    options.seconds = secondsPerTrack * kTracks;
    options.noise = 0.05;
    options.tags = FlacFactory::libraryTags(QStringLiteral("Whole"));
    const QString image = FlacFactory::make(folder + QStringLiteral("/Album.flac"), options);
    QString sheet =
        QStringLiteral("PERFORMER \"Artist\"\nTITLE \"Album\"\nFILE \"Album.flac\" WAVE\n");
    QStringList tracks;
    const qint64 samplesPerTrack = qint64(secondsPerTrack * 44100);
    for (int index = 0; index < kTracks; ++index) {
        const qint64 frames = qint64(secondsPerTrack * 75) * index;
        sheet += QStringLiteral("  TRACK %1 AUDIO\n    TITLE \"Track %1\"\n    INDEX 01 "
                                "%2:%3:%4\n")
                     .arg(index + 1, 2, 10, QLatin1Char('0'))
                     .arg(frames / 75 / 60, 2, 10, QLatin1Char('0'))
                     .arg(frames / 75 % 60, 2, 10, QLatin1Char('0'))
                     .arg(frames % 75, 2, 10, QLatin1Char('0'));
        const QString track =
            TestEnvironment::makeFolder(QStringLiteral("Separate")) +
            QStringLiteral("/%1 Track.flac").arg(index + 1, 2, 10, QLatin1Char('0'));
        QStringList cut = {QStringLiteral("-s"),
                           QStringLiteral("-f"),
                           QStringLiteral("--skip=%1").arg(samplesPerTrack * index),
                           image,
                           QStringLiteral("-o"),
                           track};
        if (index + 1 < kTracks) {
            cut.insert(3, QStringLiteral("--until=%1").arg(samplesPerTrack * (index + 1)));
        }
        BenchReport::secondsToRun(QStringLiteral("flac"), cut);
        tracks << track;
    }
    QFile cue(folder + QStringLiteral("/Album.cue"));
    cue.open(QIODevice::WriteOnly);
    cue.write(sheet.toUtf8());
    cue.close();
    const double split = tonebridge({image}, "m4a", "2");
    const double separate = tonebridge(tracks, "m4a", "2");
    BenchReport::figure("pass_image_s", split);
    BenchReport::figure("pass_image_separate_files_s", separate);
    BenchReport::figure("pass_image_ratio", split / separate);
}

double peakChildMegabytes() {
    struct rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_maxrss) / 1024.0;
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
        options.tags = FlacFactory::libraryTags(QStringLiteral("Track %1").arg(index + 1));
        sources << FlacFactory::make(QStringLiteral("%1/Album/%2 Track.flac")
                                         .arg(TestEnvironment::home())
                                         .arg(index + 1, 2, 10, QLatin1Char('0')),
                                     options);
    }
    const int cores = QThread::idealThreadCount();
    BenchReport::figure("cores", cores);
    // The parallel pass runs first, so the children's peak memory is its own.
    const double parallelM4a = tonebridge(sources, "m4a", "auto");
    BenchReport::figure("pass_parallel_peak_mb", peakChildMegabytes());
    for (const char* codec : {"m4a", "mp3", "opus", "alac"}) {
        const QByteArray name = QByteArray("_") + codec;
        const double ours = tonebridge(sources, codec, "1");
        const double theirs = ffmpeg(sources, codec);
        BenchReport::figure(("pass" + name + "_s").constData(), ours);
        BenchReport::figure(("ffmpeg" + name + "_s").constData(), theirs);
        BenchReport::figure(("pass" + name + "_ratio").constData(), ours / theirs);
        const double parallel =
            qstrcmp(codec, "m4a") == 0 ? parallelM4a : tonebridge(sources, codec, "auto");
        const double xargs = xargsFfmpeg(sources, codec, cores);
        BenchReport::figure(("pass" + name + "_parallel_s").constData(), parallel);
        BenchReport::figure(("xargs_ffmpeg" + name + "_s").constData(), xargs);
        BenchReport::figure(("pass" + name + "_parallel_ratio").constData(), parallel / xargs);
        BenchReport::figure(("pass" + name + "_speedup").constData(), theirs / parallel);
        if (qstrcmp(codec, "m4a") == 0) {
            // Outputs named from their tags cost nothing a user would see.
            const double named = tonebridge(sources, codec, "auto",
                                            QStringLiteral("%artist%/%album%/%track% - %title%"));
            BenchReport::figure("pass_m4a_pattern_parallel_s", named);
            BenchReport::figure("pass_m4a_pattern_parallel_ratio", named / xargs);
        }
    }
    // Each output and its folder are written to the disk before a source is
    // deleted: that costs at most a few percent.
    deleteSourceCost(sources);
    replayGainCost(sources);
    resampleCost(count, seconds);
    imageCost(argc > 3 ? QString::fromLocal8Bit(argv[3]).toDouble() : 240.0);
    TestEnvironment::tearDown();
    return 0;
}
