#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

struct sqlite3;
struct sqlite3_stmt;

// The one connection to the queue's database file. Every statement of the
// application runs through inputDBrequest() (no rows) or outputDBrequest()
// (rows), its values bound to its "?" parameters in order, never written
// into its text. Statements are prepared once and kept for the connection.
// Any failure of the SQLite library ends the process: there are no error
// results. Lives on the thread that made it (the main thread).
class CocoLite {
public:
    explicit CocoLite(const QString& dbPath);
    ~CocoLite();
    CocoLite(const CocoLite&) = delete;
    CocoLite& operator=(const CocoLite&) = delete;

    bool openDB();
    bool closeDB();

    // Runs the first statement of the text; answers the connection's last
    // inserted row identifier, narrowed to 32 bits.
    qint32 inputDBrequest(const QString& sql, const QVariantList& values = {});
    // Runs the first statement of the text; answers its rows keyed by column
    // name. NULL columns are absent and all-NULL rows are dropped.
    QList<QVariantMap> outputDBrequest(const QString& sql, const QVariantList& values = {});
    // The same for queries of many rows: each row's values by column
    // position (NULL: an invalid value), handed over as it is read.
    void forEachRow(const QString& sql, const QVariantList& values,
                    const std::function<void(const QVariantList& row)>& eachRow);
    // Runs a script of one statement per line, skipping empty and "--" lines.
    bool readSqlCreateFile(const QString& path);

    QString dbPath() const { return m_dbPath; }
    void setDbPath(const QString& path) { m_dbPath = path; }
    bool isDBopen() const { return m_isDBopen; }

    // Groups the statements run until the matching commit into one
    // transaction, so a crash never leaves half of them written and they
    // cost one commit. Transactions nest: only the outermost one commits.
    void beginTransaction();
    void commitTransaction();
    // How many transactions reached the disk since the connection opened.
    quint64 commitCount() const { return m_commitCount; }
    // How many rows statements stepped through in full scans of a table
    // since the connection opened: a scan inside a loop over rows shows here.
    quint64 fullScanSteps() const { return m_fullScanSteps; }
    // How long a statement waits for another process's lock before failing.
    static constexpr int kBusyTimeoutMs = 5000;
    // Statements kept prepared at most: a text made with its values in it
    // (a caller that binds nothing) is prepared afresh each time instead.
    static constexpr qsizetype kKeptStatements = 256;

private:
    // The statement for that text with the values bound, from the cache
    // unless it is in use (a query run while another one's rows are read).
    sqlite3_stmt* statementFor(const QString& sql, const QVariantList& values, bool* cached);
    void bind(sqlite3_stmt* statement, const QVariantList& values);
    void release(sqlite3_stmt* statement, bool cached);
    // Steps the statement to its end, calling eachRow on every row while
    // the statement stands on it.
    void runQuery(const QString& sql, const QVariantList& values,
                  const std::function<void(sqlite3_stmt* statement, int columnCount)>& eachRow);
    static QVariant columnValue(sqlite3_stmt* statement, int column);
    void finalizeAll();
    [[noreturn]] void fail(const char* where, int status) const;

    sqlite3* m_db = nullptr;
    QHash<QString, sqlite3_stmt*> m_statements;
    bool m_isDBopen = false;
    int m_transactionDepth = 0;
    quint64 m_commitCount = 0;
    quint64 m_fullScanSteps = 0;
    QString m_dbPath;
};
