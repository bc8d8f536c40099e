// Any text bound to a statement reads back from SQLite unchanged, NUL
// characters included, and a "?" inside a value is never taken for a mark.
#include "storage/CocoLite.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CocoLite* db = [] {
        auto* connection = new CocoLite(QStringLiteral(":memory:"));
        connection->inputDBrequest(
            QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT, b INT, c TEXT)"));
        return connection;
    }();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qint64 number = size >= 8 ? *reinterpret_cast<const qint64*>(data) : qint64(size);
    const qint32 id = db->inputDBrequest(QStringLiteral("INSERT INTO t (a, b, c) VALUES (?, ?, ?)"),
                                         {text, number, text + QLatin1Char('?')});
    const QList<QVariantMap> rows =
        db->outputDBrequest(QStringLiteral("SELECT a, b, c FROM t WHERE id = ?"), {id});
    if (rows.size() != 1 || rows[0].value(QStringLiteral("a")).toString() != text ||
        rows[0].value(QStringLiteral("c")).toString() != text + QLatin1Char('?') ||
        rows[0].value(QStringLiteral("b")).toInt() != qint32(number)) {
        std::abort();
    }
    db->inputDBrequest(QStringLiteral("DELETE FROM t"));
    return 0;
}
