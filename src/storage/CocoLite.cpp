#include "CocoLite.h"

#include <QFile>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

CocoLite::CocoLite(const QString& dbPath) : m_dbPath(dbPath) {}

CocoLite::~CocoLite() {
    closeDB();
}

bool CocoLite::openDB() {
    if (m_isDBopen) {
        closeDB();
    }
    sqlite3_open(m_dbPath.toUtf8().constData(), &m_db);
    // Another process (a backup tool, a second batch run, the sqlite3 shell)
    // may hold a lock for a moment: wait for it instead of failing.
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    sqlite3_commit_hook(
        m_db,
        [](void* counter) {
            ++*static_cast<quint64*>(counter);
            return 0;
        },
        &m_commitCount);
    m_isDBopen = true;
    return true;
}

bool CocoLite::closeDB() {
    if (!m_isDBopen) {
        return false;
    }
    m_transactionDepth = 0;
    sqlite3_close(m_db);
    m_db = nullptr;
    m_isDBopen = false;
    return true;
}

void CocoLite::beginTransaction() {
    if (m_transactionDepth++ == 0) {
        // Immediate: the write lock is taken now, under the busy timeout,
        // never half-way through the transaction.
        inputDBrequest(QStringLiteral("BEGIN IMMEDIATE"));
    }
}

void CocoLite::commitTransaction() {
    if (m_transactionDepth > 0 && --m_transactionDepth == 0) {
        inputDBrequest(QStringLiteral("COMMIT"));
    }
}

void CocoLite::fail(const char* where, int status) const {
    std::fprintf(stderr, "%s failed with status %d: %s\n", where, status, sqlite3_errmsg(m_db));
    std::fflush(stderr);
    std::exit(1);
}

void CocoLite::prepare(const QByteArray& sql) {
    m_stmt = nullptr;
    const int status =
        sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()) + 1, &m_stmt, nullptr);
    if (status != SQLITE_OK) {
        fail("prepare_v2 (db, sql, (int)strlen (sql) + 1, & stmt, NULL)", status);
    }
}

qint32 CocoLite::inputDBrequest(const QString& sql) {
    if (!m_isDBopen) {
        openDB();
    }
    prepare(sql.toUtf8());
    int status = sqlite3_step(m_stmt);
    if (status != SQLITE_DONE) {
        fail("step (stmt)", status);
    }
    status = sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    if (status != SQLITE_OK) {
        fail("finalize(stmt)", status);
    }
    return qint32(sqlite3_last_insert_rowid(m_db));
}

QVariant CocoLite::columnValue(int column) const {
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return qint32(sqlite3_column_int64(m_stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_stmt, column);
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
    }
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
        return QByteArray(bytes, sqlite3_column_bytes(m_stmt, column));
    }
    default:
        return QVariant();
    }
}

void CocoLite::runQuery(const QString& sql, const std::function<void(int columnCount)>& eachRow) {
    if (!m_isDBopen) {
        openDB();
    }
    const QByteArray utf8 = sql.toUtf8();
    m_stmt = nullptr;
    // A statement that fails to prepare leaves no statement; its first step
    // then reports the misuse.
    sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()) + 1, &m_stmt, nullptr);
    const int columnCount = sqlite3_column_count(m_stmt);
    for (;;) {
        const int status = sqlite3_step(m_stmt);
        if (status == SQLITE_DONE) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            return;
        }
        if (status != SQLITE_ROW) {
            std::fprintf(stderr, "Failed.%d\n", status);
            std::fflush(stderr);
            std::exit(1);
        }
        eachRow(columnCount);
    }
}

QList<QVariantMap> CocoLite::outputDBrequest(const QString& sql) {
    QList<QVariantMap> rows;
    // Each name made once for the query, shared by all its rows.
    QStringList names;
    runQuery(sql, [this, &rows, &names](int columnCount) {
        if (names.isEmpty()) {
            for (int column = 0; column < columnCount; ++column) {
                const char* name = sqlite3_column_name(m_stmt, column);
                names << (name != nullptr ? QString::fromUtf8(name) : QString());
            }
        }
        QVariantMap row;
        for (int column = 0; column < columnCount; ++column) {
            const QVariant value = columnValue(column);
            if (value.isValid() && !names.at(column).isNull()) {
                row.insert(names.at(column), value);
            }
        }
        if (!row.isEmpty()) {
            rows.append(row);
        }
    });
    return rows;
}

void CocoLite::forEachRow(const QString& sql,
                          const std::function<void(const QVariantList& values)>& eachRow) {
    runQuery(sql, [this, &eachRow](int columnCount) {
        QVariantList values;
        values.reserve(columnCount);
        for (int column = 0; column < columnCount; ++column) {
            values << columnValue(column);
        }
        eachRow(values);
    });
}

bool CocoLite::readSqlCreateFile(const QString& path) {
    openDB();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(QStringLiteral("impossible d'ouvrir %1").arg(path)));
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    if (text.isEmpty()) {
        return false;
    }
    for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("--"))) {
            continue;
        }
        inputDBrequest(line);
    }
    closeDB();
    return true;
}
