#include "app/AppDelegate.h"
#include "app/InstanceChannel.h"
#include "conversion/FileAdder.h"
#include "model/QueueStore.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/CocoLite.h"
#include "support/TestEnvironment.h"
#include "ui/MainWindow.h"
#include "ui/VueCtrlrReglage.h"

#include <QFileInfo>
#include <QLabel>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <functional>

namespace {
int userVersion(const QString& path) {
    CocoLite db(path);
    return db.outputDBrequest("PRAGMA user_version").value(0).value("user_version").toInt();
}

bool waitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
    for (int waited = 0; waited < milliseconds; waited += 20) {
        if (condition()) {
            return true;
        }
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    return condition();
}
} // namespace

TEST(Startup, FirstStartCreatesTheDatabaseAndLogsTheSqliteVersion) {
    EXPECT_FALSE(QFile::exists(AppDelegate::databasePath()));
    AppDelegate delegate(TestEnvironment::settings());
    testing::internal::CaptureStderr();
    delegate.applicationDidFinishLaunching();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(std::string("sqlite version : ") + sqlite3_libversion() + "\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(AppDelegate::databasePath(),
              TestEnvironment::home() + "/.local/share/Tonebridge/tonebridge.db");
    EXPECT_TRUE(QFile::exists(AppDelegate::databasePath()));
    EXPECT_EQ(userVersion(AppDelegate::databasePath()), QueueStore::kSchemaVersion);
    EXPECT_NE(delegate.window()->filez(), nullptr);
    EXPECT_NE(delegate.window()->reglage(), nullptr);
    const auto tables = delegate.core().database()->outputDBrequest(
        "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
    QStringList names;
    for (const auto& row : tables) {
        names << row.value("name").toString();
    }
    EXPECT_EQ(names,
              (QStringList{"audioFailure", "audioFile", "audioMetadata", "audioPublishing",
                           "audioRoot", "audioTag", "audioTrack", "fileURL", "outputRecord"}))
        << "failure reasons, outputs being renamed, the folders files were added from, the "
           "tracks of disc images, what each output was made from and "
           "every comment of the sources live beside the three stored tables";
    ASSERT_NE(delegate.core().queue(), nullptr);
    EXPECT_EQ(delegate.core().queue()->countOfFichiersAudio(), 0);
}

TEST(Startup, SecondStartKeepsEveryRow) {
    {
        AppDelegate delegate(TestEnvironment::settings());
        delegate.applicationDidFinishLaunching();
        delegate.core().database()->inputDBrequest("CREATE TABLE IF NOT EXISTS keep (v TEXT)");
        delegate.core().database()->inputDBrequest("INSERT INTO keep VALUES ('still here')");
    }
    {
        AppDelegate delegate(TestEnvironment::settings());
        delegate.applicationDidFinishLaunching();
        delegate.openPaths({TestEnvironment::writeFile(TestEnvironment::home() + "/a.flac")});
        delegate.core().fileAdder()->waitUntilDone();
        EXPECT_EQ(delegate.core().queue()->countOfFichiersAudio(), 1);
    }
    AppDelegate delegate(TestEnvironment::settings());
    delegate.applicationDidFinishLaunching();
    const auto rows = delegate.core().database()->outputDBrequest("SELECT v FROM keep");
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].value("v").toString(), "still here");
    EXPECT_EQ(delegate.core().queue()->countOfFichiersAudio(), 1) << "the queue comes back";
}

TEST(Startup, ADatabaseSqliteCannotReadIsSetAside) {
    TestEnvironment::writeFile(AppDelegate::databasePath(), QByteArray(4096, 'z'));
    testing::internal::CaptureStderr();
    AppDelegate delegate(TestEnvironment::settings());
    delegate.applicationDidFinishLaunching();
    const std::string log = testing::internal::GetCapturedStderr();
    const QStringList aside =
        QDir(AppDelegate::dataFolderPath()).entryList({"tonebridge.db.corrupt-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(QFileInfo(AppDelegate::dataFolderPath() + "/" + aside.first()).size(), 4096)
        << "kept as it was";
    EXPECT_NE(log.find("Base de données illisible, mise de côté : " +
                       (AppDelegate::dataFolderPath() + "/" + aside.first()).toStdString()),
              std::string::npos)
        << log;
    EXPECT_EQ(delegate.core().queue()->countOfFichiersAudio(), 0);
    EXPECT_EQ(userVersion(AppDelegate::databasePath()), QueueStore::kSchemaVersion)
        << "a new database";
    EXPECT_TRUE(delegate.window()->reglage()->messageLabel()->text().startsWith(
        "Base de données illisible"));
}

TEST(StartupDeathTest, PlainFileWhereTheDataFolderGoes) {
    EXPECT_EXIT(
        {
            QDir().mkpath(TestEnvironment::home() + "/.local/share");
            QFile blocker(AppDelegate::dataFolderPath());
            blocker.open(QIODevice::WriteOnly);
            blocker.close();
            AppDelegate delegate(TestEnvironment::settings());
            delegate.applicationDidFinishLaunching();
        },
        testing::ExitedWithCode(1),
        "^Impossible de créer .*/Tonebridge\n.*\nprepare_v2 .* failed with status [0-9]+: unable "
        "to open database file");
}

TEST(StartupDeathTest, DataFolderThatCannotBeWritten) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    EXPECT_EXIT(
        {
            const QString share = TestEnvironment::home() + "/.local/share";
            QFile::setPermissions(share, QFile::ReadOwner | QFile::ExeOwner);
            AppDelegate delegate(TestEnvironment::settings());
            delegate.applicationDidFinishLaunching();
        },
        testing::ExitedWithCode(1), "failed with status [0-9]+: unable to open database file");
}

TEST(Startup, ProgramStartsAndASecondLaunchHandsItsPathsOver) {
    QProcess first;
    first.setProgram(TONEBRIDGE_BINARY);
    first.start();
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(waitFor([] { return QFile::exists(InstanceChannel::socketPath()); }));
    QByteArray firstLog;
    ASSERT_TRUE(waitFor([&] {
        firstLog += first.readAllStandardError();
        return firstLog.contains("sqlite version : ");
    }));

    // "Open with" on a link to a FLAC file while the program runs queues its target.
    const QString target = TestEnvironment::writeFile(TestEnvironment::home() + "/Music/Real.flac");
    const QString link = TestEnvironment::home() + "/Link.flac";
    QFile::link(target, link);
    QProcess second;
    second.start(TONEBRIDGE_BINARY, {link, TestEnvironment::home() + "/missing.flac"});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    const auto queuedPaths = [] {
        CocoLite db(AppDelegate::databasePath());
        QStringList paths;
        for (const auto& row :
             db.outputDBrequest("SELECT furl FROM fileURL JOIN audioFile ON inaudiourl = furlid")) {
            paths << row.value("furl").toString();
        }
        return paths;
    };
    EXPECT_TRUE(waitFor([&] { return queuedPaths() == QStringList{target}; }))
        << queuedPaths().join(",").toStdString();

    first.terminate();
    first.waitForFinished(5000);
    const QString log = QString::fromUtf8(firstLog + first.readAllStandardError());
    EXPECT_TRUE(log.contains(QStringLiteral("sqlite version : %1").arg(sqlite3_libversion())))
        << log.toStdString();
    EXPECT_EQ(userVersion(AppDelegate::databasePath()), QueueStore::kSchemaVersion);
}

TEST(Startup, TwoWindowsLaunchedTogetherMakeOneThatTakesBothPaths) {
    const auto queuedPaths = [] {
        if (!QFile::exists(AppDelegate::databasePath())) {
            return QStringList();
        }
        CocoLite db(AppDelegate::databasePath());
        QStringList paths;
        for (const auto& row :
             db.outputDBrequest("SELECT furl FROM fileURL JOIN audioFile ON inaudiourl = furlid")) {
            paths << row.value("furl").toString();
        }
        paths.sort();
        return paths;
    };
    QStringList expected;
    for (int round = 0; round < 3; ++round) {
        const QString a = TestEnvironment::writeFile(TestEnvironment::home() +
                                                     QString("/Music/%1a.flac").arg(round));
        const QString b = TestEnvironment::writeFile(TestEnvironment::home() +
                                                     QString("/Music/%1b.flac").arg(round));
        expected << a << b;
        // Started within a millisecond or two of each other.
        QProcess first;
        QProcess second;
        first.start(TONEBRIDGE_BINARY, {a});
        second.start(TONEBRIDGE_BINARY, {b});
        QProcess* loser = nullptr;
        ASSERT_TRUE(waitFor(
            [&] {
                loser = first.state() == QProcess::NotRunning    ? &first
                        : second.state() == QProcess::NotRunning ? &second
                                                                 : nullptr;
                return loser != nullptr;
            },
            20000));
        QProcess* winner = loser == &first ? &second : &first;
        EXPECT_EQ(loser->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(loser->exitCode(), 0) << loser->readAllStandardError().toStdString();
        EXPECT_TRUE(waitFor([&] { return queuedPaths() == expected; }, 20000))
            << "the one window queued both paths: " << queuedPaths().join(",").toStdString();
        QThread::msleep(200);
        EXPECT_EQ(winner->state(), QProcess::Running) << "one window survives";
        winner->terminate();
        winner->waitForFinished(5000);
    }
}

TEST(Startup, VersionNeedsNoDisplay) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    program.setProcessEnvironment(environment);
    program.start(TONEBRIDGE_BINARY, {"--version"});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().startsWith("tonebridge "));
}
