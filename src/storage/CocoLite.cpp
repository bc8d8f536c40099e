#include "CocoLite.h"

#include <QFile>
#include <QStringList>

#include <utility>

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
    finalizeAll();
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

void CocoLite::finalizeAll() {
    for (sqlite3_stmt* statement : std::as_const(m_statements)) {
        sqlite3_finalize(statement);
    }
    m_statements.clear();
}

void CocoLite::bind(sqlite3_stmt* statement, const QVariantList& values) {
    const int parameters = sqlite3_bind_parameter_count(statement);
    if (parameters != values.size()) {
        std::fprintf(stderr, "statement takes %d values, %d given\n", parameters,
                     int(values.size()));
        std::fflush(stderr);
        std::exit(1);
    }
    for (int index = 0; index < values.size(); ++index) {
        const QVariant& value = values.at(index);
        const int position = index + 1;
        int status = SQLITE_OK;
        switch (value.isNull() ? QMetaType::UnknownType : value.typeId()) {
        case QMetaType::UnknownType:
            status = sqlite3_bind_null(statement, position);
            break;
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            status = sqlite3_bind_int64(statement, position, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            status = sqlite3_bind_double(statement, position, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            status = sqlite3_bind_blob64(statement, position, bytes.constData(),
                                         sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray text = value.toString().toUtf8();
            status =
                sqlite3_bind_text64(statement, position, text.constData(),
                                    sqlite3_uint64(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
        if (status != SQLITE_OK) {
            fail("bind", status);
        }
    }
}

sqlite3_stmt* CocoLite::statementFor(const QString& sql, const QVariantList& values, bool* cached) {
    if (!m_isDBopen) {
        openDB();
    }
    sqlite3_stmt* statement = m_statements.value(sql);
    if (statement == nullptr || sqlite3_stmt_busy(statement) != 0) {
        const QByteArray utf8 = sql.toUtf8();
        statement = nullptr;
        const int status =
            sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()) + 1, &statement, nullptr);
        if (status != SQLITE_OK) {
            fail("prepare_v2 (db, sql, (int)strlen (sql) + 1, & stmt, NULL)", status);
        }
        *cached = !m_statements.contains(sql) && m_statements.size() < kKeptStatements;
        if (*cached) {
            m_statements.insert(sql, statement);
        }
    } else {
        *cached = true;
    }
    bind(statement, values);
    return statement;
}

void CocoLite::release(sqlite3_stmt* statement, bool cached) {
    if (cached) {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    } else {
        sqlite3_finalize(statement);
    }
}

qint32 CocoLite::inputDBrequest(const QString& sql, const QVariantList& values) {
    // A statement that answers rows is no input: asked for none, it fails
    // as any failed step does.
    runQuery(sql, values, [this](sqlite3_stmt* statement, int) {
        sqlite3_reset(statement);
        fail("step (stmt)", SQLITE_ROW);
    });
    return qint32(sqlite3_last_insert_rowid(m_db));
}

QVariant CocoLite::columnValue(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        return qint32(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, column);
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
    }
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
        return QByteArray(bytes, sqlite3_column_bytes(statement, column));
    }
    default:
        return QVariant();
    }
}

void CocoLite::runQuery(
    const QString& sql, const QVariantList& values,
    const std::function<void(sqlite3_stmt* statement, int columnCount)>& eachRow) {
    bool cached = false;
    sqlite3_stmt* statement = statementFor(sql, values, &cached);
    const int columnCount = sqlite3_column_count(statement);
    for (;;) {
        const int status = sqlite3_step(statement);
        if (status == SQLITE_DONE) {
            m_fullScanSteps +=
                quint64(sqlite3_stmt_status(statement, SQLITE_STMTSTATUS_FULLSCAN_STEP, 1));
            release(statement, cached);
            return;
        }
        if (status != SQLITE_ROW) {
            release(statement, cached);
            fail("step (stmt)", status);
        }
        eachRow(statement, columnCount);
    }
}

QList<QVariantMap> CocoLite::outputDBrequest(const QString& sql, const QVariantList& values) {
    QList<QVariantMap> rows;
    // Each name made once for the query, shared by all its rows.
    QStringList names;
    runQuery(sql, values, [&rows, &names](sqlite3_stmt* statement, int columnCount) {
        if (names.isEmpty()) {
            for (int column = 0; column < columnCount; ++column) {
                const char* name = sqlite3_column_name(statement, column);
                names << (name != nullptr ? QString::fromUtf8(name) : QString());
            }
        }
        QVariantMap row;
        for (int column = 0; column < columnCount; ++column) {
            const QVariant value = columnValue(statement, column);
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

void CocoLite::forEachRow(const QString& sql, const QVariantList& values,
                          const std::function<void(const QVariantList& row)>& eachRow) {
    runQuery(sql, values, [&eachRow](sqlite3_stmt* statement, int columnCount) {
        QVariantList row;
        row.reserve(columnCount);
        for (int column = 0; column < columnCount; ++column) {
            row << columnValue(statement, column);
        }
        eachRow(row);
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
