#include "DatabaseFile.h"

#include <QDateTime>
#include <QFile>

#include <sqlite3.h>

bool DatabaseFile::isNotADatabase(const QString& path) {
    if (!QFile::exists(path)) {
        return false;
    }
    sqlite3* db = nullptr;
    int status =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (status == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        status =
            sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &statement, nullptr);
        if (status == SQLITE_OK) {
            status = sqlite3_step(statement);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return status == SQLITE_NOTADB;
}

QString DatabaseFile::moveAside(const QString& path) {
    const QString moved = path + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(path, moved)) {
        return QString();
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        const QString journal = path + QLatin1String(suffix);
        if (QFile::exists(journal)) {
            QFile::rename(journal, moved + QLatin1String(suffix));
        }
    }
    return moved;
}
