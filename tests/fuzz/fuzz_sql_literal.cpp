// Any text written as an SQL literal reads back from SQLite unchanged, and
// a template's marks are filled without reading marks inside the values.
#include "model/SqlText.h"
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
    QString expected = text;
    expected.remove(QChar(u'\0'));
    const qint64 number = size >= 8 ? *reinterpret_cast<const qint64*>(data) : qint64(size);
    const QString statement =
        SqlText::fill(u"INSERT INTO t (a, b, c) VALUES (?, ?, ?)",
                      {SqlText::text(text), SqlText::number(number), SqlText::text(text + "?")});
    const qint32 id = db->inputDBrequest(statement);
    const QList<QVariantMap> rows = db->outputDBrequest(
        SqlText::fill(u"SELECT a, b, c FROM t WHERE id = ?", {SqlText::number(id)}));
    if (rows.size() != 1 || rows[0].value(QStringLiteral("a")).toString() != expected ||
        rows[0].value(QStringLiteral("c")).toString() != expected + QLatin1Char('?') ||
        rows[0].value(QStringLiteral("b")).toInt() != qint32(number)) {
        std::abort();
    }
    db->inputDBrequest(QStringLiteral("DELETE FROM t"));
    return 0;
}
