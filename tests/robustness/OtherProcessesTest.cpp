// Other processes and file systems that fail in their own ways: two runs
// writing one destination, a destination that stalls while the user stops,
// and the order in which outputs, folders and deletions reach the disk.
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

namespace {
QString music() {
    return TestEnvironment::home() + "/Music";
}

QProcessEnvironment terminal() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    return environment;
}

// The program with every opening below the folder stalled for ever.
QProcessEnvironment stalledBelow(const QString& folder) {
    QProcessEnvironment environment = terminal();
    environment.insert("LD_PRELOAD", STALL_SHIM);
    environment.insert("TONEBRIDGE_TEST_STALL", folder);
    // Under AddressSanitizer, its runtime need not come before the stand-in.
    const QString asan = environment.value("ASAN_OPTIONS");
    environment.insert("ASAN_OPTIONS",
                       (asan.isEmpty() ? QString() : asan + ":") + "verify_asan_link_order=0");
    return environment;
}

QStringList album(const QString& folder, int count, double seconds) {
    QStringList sources;
    for (int index = 1; index <= count; ++index) {
        FlacFactory::Options options;
        options.seconds = seconds;
        options.noise = 0.05;
        options.tags = FlacFactory::fullTags(QString("Song %1").arg(index));
        sources << FlacFactory::make(QString("%1/%2/Song %3.flac").arg(music(), folder).arg(index),
                                     options);
    }
    return sources;
}

// Reads the program's output until it says that; false when it never does.
bool waitForOutput(QProcess& program, QByteArray& said, const QByteArray& wanted) {
    while (!said.contains(wanted)) {
        if (!program.waitForReadyRead(20000)) {
            return false;
        }
        said += program.readAllStandardOutput();
    }
    return true;
}

// What FFmpeg's own decoder says of a file: nothing when it decodes cleanly.
QString decodingErrors(const QString& path) {
    QByteArray errors;
    const int status = FlacFactory::run("ffmpeg", {"-v", "error", "-i", path, "-f", "null", "-"},
                                        nullptr, &errors);
    return status == 0 ? QString::fromUtf8(errors).trimmed()
                       : QStringLiteral("exit %1").arg(status);
}
} // namespace

TEST(OtherProcesses, TwoRunsOnOneDestinationNeitherCorruptNorLose) {
    // Both orders of arrival: the later run without and with permission to
    // replace outputs, each deleting sources.
    for (const bool overwrite : {false, true}) {
        const QString folder = overwrite ? "Replacing" : "Keeping";
        const QStringList sources = album(folder, 8, 8.0);
        const QString out = TestEnvironment::makeFolder("Out" + folder);
        QStringList arguments = {"--convert",     "--codec", "mp3",      "--delete-source",
                                 "--destination", "folder",  "--folder", out};
        if (overwrite) {
            arguments << "--overwrite";
        }
        arguments << music() + "/" + folder;
        QProcess first;
        QProcess second;
        first.setProcessEnvironment(terminal());
        second.setProcessEnvironment(terminal());
        first.start(TONEBRIDGE_BINARY, arguments + QStringList{"--jobs", "2"});
        // The second run arrives while the first one writes its outputs.
        QByteArray firstSaid;
        ASSERT_TRUE(waitForOutput(first, firstSaid, overwrite ? "Decodage" : "Encodage de"));
        second.start(TONEBRIDGE_BINARY, arguments + QStringList{"--jobs", "1"});
        ASSERT_TRUE(first.waitForFinished(120000));
        ASSERT_TRUE(second.waitForFinished(120000));
        const QByteArray secondSaid = second.readAllStandardOutput();
        const QString said =
            QString::fromUtf8(firstSaid + first.readAllStandardOutput() + "\n---\n" + secondSaid);
        EXPECT_TRUE(secondSaid.contains("Decodage"))
            << "the runs overlapped: " << said.toStdString();

        for (const QString& source : sources) {
            const QString name = QFileInfo(source).completeBaseName();
            const QString output = out + "/" + name + ".mp3";
            if (QFile::exists(source)) {
                continue;
            }
            ASSERT_TRUE(QFile::exists(output))
                << source.toStdString() << " deleted without its output\n"
                << said.toStdString();
        }
        const QStringList outputs = QDir(out).entryList({"*.mp3"}, QDir::Files);
        EXPECT_EQ(outputs.size(), sources.size()) << said.toStdString();
        for (const QString& name : outputs) {
            const QString path = out + "/" + name;
            EXPECT_EQ(decodingErrors(path), QString()) << name.toStdString();
            const QJsonObject read = OutputReader::read(path);
            EXPECT_NEAR(read.value("length").toDouble(), 8.0, 0.1) << name.toStdString();
            EXPECT_EQ(read.value("tags").toObject().value("title").toString(),
                      QFileInfo(name).completeBaseName())
                << name.toStdString() << ": tags written into another run's file";
        }
        EXPECT_TRUE(TestEnvironment::leftovers(out).isEmpty())
            << TestEnvironment::leftovers(out).join(", ").toStdString();
        EXPECT_TRUE(QDir(out).entryList({".tmp_*"}, QDir::Hidden | QDir::Files).isEmpty());
    }
}

TEST(OtherProcesses, ATerminalRunStopsAtOnceWhileItsDestinationStalls) {
    const QString source = album("Stall", 1, 2.0).first();
    const QString frozen = TestEnvironment::makeFolder("Frozen");
    QProcess run;
    run.setProcessEnvironment(stalledBelow(frozen));
    run.start(TONEBRIDGE_BINARY,
              {"--convert", "--destination", "folder", "--folder", frozen, source});
    QByteArray said;
    ASSERT_TRUE(waitForOutput(run, said, "Decodage Song 1.flac")) << said.toStdString();
    // The job is under way, its destination's first opening stalled.
    QThread::msleep(300);
    QElapsedTimer timer;
    timer.start();
    ::kill(pid_t(run.processId()), SIGTERM);
    ASSERT_TRUE(run.waitForFinished(10000)) << "the program waited on the stalled destination";
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 143);
    EXPECT_LT(elapsed, 2000) << "exited " << elapsed << " ms after SIGTERM";
    std::printf("exited %lld ms after SIGTERM\n", elapsed);
    EXPECT_TRUE(QFile::exists(source));
}

TEST(OtherProcesses, TheWindowStopsAtOnceWhileItsDestinationStalls) {
    const QString source = album("Stall", 1, 2.0).first();
    const QString frozen = TestEnvironment::makeFolder("Frozen");
    TestEnvironment::defaults().setInteger(2, "DestinationType");
    TestEnvironment::defaults().setFolder(frozen, "DestinationDossier");
    QProcess add;
    add.start(CRASH_SUBJECT, {"add", source});
    ASSERT_TRUE(add.waitForFinished(60000));

    QProcess window;
    window.setProcessEnvironment(stalledBelow(frozen));
    QElapsedTimer timer;
    timer.start();
    window.start(CRASH_SUBJECT, {"stop"});
    ASSERT_TRUE(window.waitForFinished(30000)) << "the window waited on the stalled destination";
    const QString said = QString::fromUtf8(window.readAllStandardOutput());
    const QRegularExpressionMatch stop = QRegularExpression("stop-ms (\\d+)").match(said);
    const QRegularExpressionMatch event = QRegularExpression("event-ms (\\d+)").match(said);
    ASSERT_TRUE(stop.hasMatch() && event.hasMatch()) << said.toStdString();
    EXPECT_LT(stop.captured(1).toInt(), 500) << "Stop answered at once";
    EXPECT_LT(event.captured(1).toInt(), 500) << "and the window stays responsive";
    EXPECT_EQ(window.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(source));
}

TEST(OtherProcesses, OutputAndFoldersReachTheDiskBeforeTheSourceIsDeleted) {
    const QString strace = QStandardPaths::findExecutable("strace");
    if (strace.isEmpty()) {
        GTEST_SKIP() << "strace shows the order of the calls";
    }
    const QString source = album("Synced", 1, 1.0).first();
    const QString out = TestEnvironment::makeFolder("SyncedOut");
    const QString trace = TestEnvironment::root() + "/trace.txt";
    QProcess run;
    run.setProcessEnvironment(terminal());
    run.start(strace,
              {"-f", "-y", "-qq", "-o", trace, "-e",
               "trace=fsync,fdatasync,link,linkat,rename,renameat,renameat2,unlink,unlinkat",
               TONEBRIDGE_BINARY, "--convert", "--delete-source", "--destination", "folder",
               "--folder", out, source});
    ASSERT_TRUE(run.waitForFinished(60000));
    QFile file(trace);
    if (run.exitCode() != 0 || !file.open(QIODevice::ReadOnly) || file.size() == 0) {
        GTEST_SKIP() << "strace cannot follow programs here: "
                     << run.readAllStandardError().toStdString();
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    const auto firstLine = [&lines](const QString& pattern, int from = 0) {
        const QRegularExpression wanted(pattern);
        for (int index = from; index < lines.size(); ++index) {
            if (wanted.match(lines.at(index)).hasMatch()) {
                return index;
            }
        }
        return -1;
    };
    const QString folder = QRegularExpression::escape(out);
    const QString output = QRegularExpression::escape(out + "/Song 1.m4a");
    const QString sourceFolder = QRegularExpression::escape(QFileInfo(source).absolutePath());
    const int partialSynced = firstLine("fsync\\(\\d+<" + folder + "/\\.tmp_[^/>]+>\\)");
    const int published = firstLine("link(at)?\\(.*\\.tmp_.*\"" + output + "\"");
    const int folderSynced = firstLine("fsync\\(\\d+<" + folder + ">\\)", published);
    const int deleted = firstLine("unlink(at)?\\(.*\"" + QRegularExpression::escape(source) + "\"");
    const int sourceFolderSynced = firstLine("fsync\\(\\d+<" + sourceFolder + ">\\)", deleted);
    EXPECT_TRUE(QFile::exists(out + "/Song 1.m4a"));
    EXPECT_FALSE(QFile::exists(source));
    ASSERT_GE(partialSynced, 0) << lines.join('\n').toStdString();
    EXPECT_LT(partialSynced, published) << "the output is on the disk before it takes its name";
    EXPECT_LT(published, folderSynced);
    EXPECT_LT(folderSynced, deleted) << "its name is on the disk before the source goes";
    EXPECT_LT(deleted, sourceFolderSynced) << "and the deletion after";
}
