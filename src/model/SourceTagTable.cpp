#include "SourceTagTable.h"

#include "model/SqlText.h"
#include "storage/CocoLite.h"

QString SourceTagTable::creationRequete() {
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS `audioTag` ( `afid` INTEGER, `position` "
        "INTEGER, `name` TEXT, `value` TEXT, PRIMARY KEY ( `afid`, `position` ) )");
}

TagList SourceTagTable::load(CocoLite& db, quint32 afid) {
    return load(db, QList<quint32>{afid}).value(afid);
}

QHash<quint32, TagList> SourceTagTable::load(CocoLite& db, const QList<quint32>& afids) {
    QHash<quint32, TagList> tags;
    if (afids.isEmpty()) {
        return tags;
    }
    QStringList identifiers;
    for (const quint32 afid : afids) {
        identifiers << SqlText::unsignedNumber(afid);
    }
    // Hundreds of thousands of rows for a large selection: read by position.
    db.forEachRow(
        QStringLiteral("SELECT `afid`, `name`, `value` FROM `audioTag` WHERE `afid` IN ( ") +
            identifiers.join(QStringLiteral(", ")) +
            QStringLiteral(" ) ORDER BY `afid`, `position`"),
        [&tags](const QVariantList& row) {
            tags[row.at(0).toUInt()].append(row.at(1).toString(), row.at(2).toString());
        });
    return tags;
}

void SourceTagTable::save(CocoLite& db, quint32 afid, const TagList& tags) {
    db.beginTransaction();
    remove(db, afid);
    // One statement for all the rows: a file can carry dozens of comments.
    const QString id = SqlText::unsignedNumber(afid);
    QStringList rows;
    qint64 position = 0;
    for (const TagList::Entry& entry : tags.entries()) {
        rows << SqlText::fill(u"( ?, ?, ?, ? )",
                              {id, SqlText::number(position++), SqlText::text(entry.name),
                               SqlText::text(entry.value)});
    }
    if (!rows.isEmpty()) {
        db.inputDBrequest(
            QStringLiteral(
                "INSERT INTO `audioTag` ( `afid`, `position`, `name`, `value` ) VALUES ") +
            rows.join(QStringLiteral(", ")));
    }
    db.commitTransaction();
}

void SourceTagTable::remove(CocoLite& db, quint32 afid) {
    db.inputDBrequest(
        SqlText::fill(u"DELETE FROM `audioTag` WHERE `afid` = ?", {SqlText::unsignedNumber(afid)}));
}

void SourceTagTable::clear(CocoLite& db) {
    db.inputDBrequest(QStringLiteral("DELETE FROM `audioTag`"));
}
