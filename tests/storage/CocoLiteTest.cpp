#include "storage/CocoLite.h"

#include "support/TestEnvironment.h"

#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sqlite3.h>
#include <thread>

namespace {
QString freshDatabasePath(const QString& name = QStringLiteral("test.db")) {
    return TestEnvironment::makeFolder(QStringLiteral("db")) + QLatin1Char('/') + name;
}

QString writeScript(const QByteArray& text) {
    const QString path = TestEnvironment::makeFolder(QStringLiteral("scripts")) + "/create.sql";
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    return path;
}
} // namespace

TEST(CocoLite, QueriesAnswerRowsKeyedByColumnName) {
    CocoLite db(freshDatabasePath());
    EXPECT_FALSE(db.isDBopen());
    const auto version = db.outputDBrequest("SELECT sqlite_version() AS version;");
    ASSERT_EQ(version.size(), 1);
    EXPECT_EQ(version.first().keys(), QStringList{"version"});
    EXPECT_TRUE(version.first().value("version").toString().startsWith("3."));
    EXPECT_TRUE(db.isDBopen());

    db.inputDBrequest("CREATE TABLE t (a INTEGER, b REAL, c TEXT, d BLOB)");
    EXPECT_TRUE(db.outputDBrequest("SELECT * FROM t").isEmpty());

    db.inputDBrequest("INSERT INTO t VALUES (4294967297, 0.1, 'été ✓', x'00ff10')");
    db.inputDBrequest("INSERT INTO t VALUES (NULL, NULL, NULL, NULL)");
    db.inputDBrequest("INSERT INTO t VALUES (-7, NULL, 'x', NULL)");
    const auto rows = db.outputDBrequest("SELECT * FROM t");
    ASSERT_EQ(rows.size(), 2) << "the all-NULL row is dropped";
    EXPECT_EQ(rows[0].value("a").typeId(), QMetaType::Int);
    EXPECT_EQ(rows[0].value("a").toInt(), 1) << "low 32 bits of 2^32 + 1";
    EXPECT_EQ(rows[0].value("b").typeId(), QMetaType::Double);
    EXPECT_EQ(rows[0].value("b").toDouble(), 0.1);
    EXPECT_EQ(rows[0].value("c").toString(), QString::fromUtf8("été ✓"));
    EXPECT_EQ(rows[0].value("d").toByteArray(), QByteArray("\x00\xff\x10", 3));
    EXPECT_EQ(rows[1].keys(), (QStringList{"a", "c"})) << "NULL columns are absent";
    EXPECT_EQ(rows[1].value("a").toInt(), -7);

    QList<QVariantList> positional;
    db.forEachRow("SELECT a, c FROM t ORDER BY rowid", {},
                  [&positional](const QVariantList& values) { positional << values; });
    ASSERT_EQ(positional.size(), 3) << "by position, every row";
    EXPECT_EQ(positional[0].at(1).toString(), QString::fromUtf8("été ✓"));
    EXPECT_FALSE(positional[1].at(0).isValid()) << "NULL is an invalid value";
    EXPECT_EQ(positional[2].at(0).toInt(), -7);
}

TEST(CocoLite, InputRequestsAnswerTheLastInsertedRow) {
    CocoLite db(freshDatabasePath());
    EXPECT_EQ(db.inputDBrequest("CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)"), 0);
    EXPECT_EQ(db.inputDBrequest("UPDATE t SET v = 'z'"), 0) << "nothing inserted yet";
    EXPECT_EQ(db.inputDBrequest("INSERT INTO t (v) VALUES ('a')"), 1);
    EXPECT_EQ(db.inputDBrequest("INSERT INTO t (id, v) VALUES (40, 'b')"), 40);
    EXPECT_EQ(db.inputDBrequest("UPDATE t SET v = 'c' WHERE id = 1"), 40);
    EXPECT_EQ(db.inputDBrequest("DELETE FROM t WHERE id = 1"), 40);

    // Only the first statement of a text runs.
    db.inputDBrequest("INSERT INTO t (v) VALUES ('first'); INSERT INTO t (v) VALUES ('second');");
    const auto rows = db.outputDBrequest("SELECT v FROM t ORDER BY id; SELECT 1;");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].value("v").toString(), "b");
    EXPECT_EQ(rows[1].value("v").toString(), "first");
}

TEST(CocoLite, ScriptRunnerSkipsCommentsAndEmptyLines) {
    CocoLite db(freshDatabasePath());
    const QString script =
        writeScript("-- a comment\n"
                    "\n"
                    "CREATE TABLE s (x INT); -- trailing words are SQL comments\n"
                    "   -- an indented comment\n");
    EXPECT_TRUE(db.readSqlCreateFile(script));
    EXPECT_FALSE(db.isDBopen());
    const auto tables = db.outputDBrequest("SELECT name FROM sqlite_master WHERE type = 'table'");
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(tables[0].value("name").toString(), "s");

    EXPECT_FALSE(db.readSqlCreateFile(writeScript("")));
    EXPECT_TRUE(db.isDBopen()) << "an empty script leaves the connection open";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(db.readSqlCreateFile("/nonexistent/create.sql"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "impossible d'ouvrir /nonexistent/create.sql\n");
}

TEST(CocoLiteDeathTest, FailuresEndTheProcessWithTheStatedLine) {
    const QString path = freshDatabasePath();
    EXPECT_EXIT(
        {
            CocoLite db(path);
            db.inputDBrequest("SELECT 1");
        },
        testing::ExitedWithCode(1), "^step \\(stmt\\) failed with status 100: ");
    EXPECT_EXIT(
        {
            CocoLite db(path);
            db.inputDBrequest("SELEKT nothing");
        },
        testing::ExitedWithCode(1),
        "^prepare_v2 \\(db, sql, \\(int\\)strlen \\(sql\\) \\+ 1, & stmt, NULL\\) failed with "
        "status 1: near \"SELEKT\": syntax error\n$");
    EXPECT_EXIT(
        {
            CocoLite db(path);
            db.outputDBrequest("SELEKT nothing");
        },
        testing::ExitedWithCode(1),
        "^prepare_v2 \\(db, sql, \\(int\\)strlen \\(sql\\) \\+ 1, & stmt, NULL\\) failed with "
        "status 1: near \"SELEKT\": syntax error\n$");
    EXPECT_EXIT(
        {
            CocoLite db(path);
            db.inputDBrequest("CREATE TABLE u (x UNIQUE)");
            db.inputDBrequest("INSERT INTO u VALUES (1)");
            db.inputDBrequest("INSERT INTO u VALUES (1)");
        },
        testing::ExitedWithCode(1), "^step \\(stmt\\) failed with status 19: UNIQUE constraint");
}

TEST(CocoLiteDeathTest, UnopenableDatabaseEndsAtTheFirstStatement) {
    const QString path = TestEnvironment::home() + "/missing-folder/test.db";
    EXPECT_EXIT(
        {
            CocoLite db(path);
            db.inputDBrequest("PRAGMA user_version=3;");
        },
        testing::ExitedWithCode(1),
        "^prepare_v2 .* failed with status [0-9]+: unable to open database file");
}

TEST(CocoLite, WaitsForAnotherConnectionsLockAndCommitsOncePerTransaction) {
    const QString path = freshDatabasePath();
    CocoLite db(path);
    db.inputDBrequest("CREATE TABLE t ( v INT )");
    // Another connection (a backup tool, the sqlite3 shell, a second batch)
    // holds the write lock for a moment: the statement waits for it instead
    // of ending the program.
    std::atomic<bool> locked{false};
    std::thread holder([&path, &locked] {
        sqlite3* other = nullptr;
        sqlite3_open(path.toUtf8().constData(), &other);
        sqlite3_exec(other, "BEGIN EXCLUSIVE; INSERT INTO t VALUES (1);", nullptr, nullptr,
                     nullptr);
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        sqlite3_exec(other, "COMMIT;", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    });
    while (!locked) {
        std::this_thread::yield();
    }
    db.inputDBrequest("INSERT INTO t VALUES (2)");
    holder.join();
    EXPECT_EQ(db.outputDBrequest("SELECT count(*) AS n FROM t").value(0).value("n").toInt(), 2);

    const quint64 before = db.commitCount();
    db.beginTransaction();
    db.beginTransaction();
    db.inputDBrequest("INSERT INTO t VALUES (3)");
    db.commitTransaction();
    db.inputDBrequest("INSERT INTO t VALUES (4)");
    db.commitTransaction();
    EXPECT_EQ(db.commitCount(), before + 1) << "nested transactions commit once";
}
