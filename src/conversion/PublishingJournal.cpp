#include "PublishingJournal.h"

#include "model/SqlText.h"
#include "storage/CocoLite.h"

#include <QFileInfo>

QString PublishingJournal::creationRequete() {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS `audioPublishing` ( `afid` INTEGER PRIMARY "
                          "KEY, `destination` TEXT, `partial` TEXT )");
}

void PublishingJournal::migrate(CocoLite& db) {
    for (const QVariantMap& column :
         db.outputDBrequest(QStringLiteral("PRAGMA table_info(`audioPublishing`)"))) {
        if (column.value(QStringLiteral("name")).toString() == QLatin1String("partial")) {
            return;
        }
    }
    db.inputDBrequest(QStringLiteral("ALTER TABLE `audioPublishing` ADD COLUMN `partial` TEXT"));
}

void PublishingJournal::note(CocoLite& db, quint32 afid, const QString& destination,
                             const QString& partial) {
    db.inputDBrequest(SqlText::fill(
        u"INSERT OR REPLACE INTO `audioPublishing` ( `afid`, "
        u"`destination`, `partial` ) VALUES ( ?, ?, ? )",
        {SqlText::unsignedNumber(afid), SqlText::text(destination), SqlText::text(partial)}));
}

void PublishingJournal::clear(CocoLite& db, quint32 afid) {
    db.inputDBrequest(SqlText::fill(u"DELETE FROM `audioPublishing` WHERE `afid` = ?",
                                    {SqlText::unsignedNumber(afid)}));
}

QList<PublishingJournal::Row> PublishingJournal::pending(CocoLite& db) {
    QList<Row> rows;
    for (const QVariantMap& row :
         db.outputDBrequest(QStringLiteral("SELECT * FROM `audioPublishing`"))) {
        rows.append({row.value(QStringLiteral("afid")).toUInt(),
                     row.value(QStringLiteral("destination")).toString(),
                     row.value(QStringLiteral("partial")).toString()});
    }
    return rows;
}

QString PublishingJournal::legacyPartialPath(const QString& destination) {
    const QFileInfo info(destination);
    return info.absolutePath() + QStringLiteral("/.tmp_") + info.completeBaseName() +
           QStringLiteral(".part.") + info.suffix();
}
