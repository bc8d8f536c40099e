// The program killed at many points of a pass, then started again: the
// queue loads, no output under a destination's name is partial, the next
// pass converts what was not finished, and no source changed.
#include "app/AppDelegate.h"
#include "storage/CocoLite.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <signal.h>

namespace {
constexpr double kSeconds = 4.0;

QString music() {
    return TestEnvironment::home() + "/Music";
}

// Runs the subject until the given occurrence of a line matching the
// pattern, then kills it.
bool killAt(const QString& pattern, int occurrence) {
    const QRegularExpression wanted(pattern);
    QProcess subject;
    subject.start(CRASH_SUBJECT, {"convert"});
    QByteArray seen;
    while (subject.waitForReadyRead(60000)) {
        seen += subject.readAll();
        int matches = 0;
        for (const QByteArray& line : seen.split('\n')) {
            if (wanted.match(QString::fromUtf8(line)).hasMatch() && ++matches == occurrence) {
                ::kill(pid_t(subject.processId()), SIGKILL);
                subject.waitForFinished();
                return true;
            }
        }
    }
    subject.waitForFinished();
    return false;
}

QStringList outputs() {
    return QDir(music()).entryList({"*.m4a"}, QDir::Files);
}

int queuedRows() {
    CocoLite db(AppDelegate::databasePath());
    return db.outputDBrequest("SELECT count(*) AS n FROM audioFile").value(0).value("n").toInt();
}
} // namespace

TEST(CrashConsistency, KilledAnywhereAPassLosesNothing) {
    // Two files at once, so that kills land while another job is in flight.
    TestEnvironment::defaults().setInteger(2, "ConversionsSimultanees");
    QStringList sources;
    QHash<QString, QString> hashes;
    for (int index = 1; index <= 4; ++index) {
        FlacFactory::Options options;
        options.seconds = kSeconds;
        options.noise = 0.05;
        options.tags = FlacFactory::fullTags(QString("Track %1").arg(index));
        sources << FlacFactory::make(QString("%1/0%2 Track.flac").arg(music()).arg(index), options);
        hashes.insert(sources.last(), OutputReader::fileSha1(sources.last()));
    }
    QProcess add;
    add.start(CRASH_SUBJECT, QStringList{"add"} + sources);
    ASSERT_TRUE(add.waitForFinished(60000));
    ASSERT_EQ(queuedRows(), 4);

    // With two files in flight a kill may catch either; the points are the
    // nth start, encoding or end of any file, so each is reached whatever
    // the earlier kills left to do.
    const QList<std::pair<QString, int>> killPoints = {
        {"^Decodage ", 1}, {"^Encodage de .*m4a$", 1}, {"^Encodage de .* terminé$", 1},
        {"^Decodage ", 2}, {"^Encodage de .*m4a$", 2}, {"^Encodage de .* terminé$", 1}};
    for (const auto& [point, occurrence] : killPoints) {
        EXPECT_TRUE(killAt(point, occurrence))
            << "never reached " << point.toStdString() << " #" << occurrence;
        for (const QString& name : outputs()) {
            const double length =
                OutputReader::read(music() + "/" + name).value("length").toDouble();
            EXPECT_NEAR(length, kSeconds, 0.1)
                << name.toStdString() << " is partial after a kill at " << point.toStdString();
        }
        for (auto it = hashes.constBegin(); it != hashes.constEnd(); ++it) {
            EXPECT_EQ(OutputReader::fileSha1(it.key()), it.value()) << it.key().toStdString();
        }
    }

    QProcess finish;
    finish.start(CRASH_SUBJECT, {"convert"});
    ASSERT_TRUE(finish.waitForFinished(120000));
    const QString log = QString::fromUtf8(finish.readAllStandardOutput());
    EXPECT_TRUE(log.contains("ended 0")) << log.toStdString();
    EXPECT_EQ(outputs().size(), 4) << outputs().join(", ").toStdString();
    for (const QString& name : outputs()) {
        EXPECT_NEAR(OutputReader::read(music() + "/" + name).value("length").toDouble(), kSeconds,
                    0.1);
    }
    EXPECT_TRUE(TestEnvironment::leftovers(music()).isEmpty())
        << TestEnvironment::leftovers(music()).join(", ").toStdString();
    EXPECT_EQ(queuedRows(), 0);
    for (auto it = hashes.constBegin(); it != hashes.constEnd(); ++it) {
        EXPECT_EQ(OutputReader::fileSha1(it.key()), it.value());
    }
}
