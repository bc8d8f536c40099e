#include "PublishingJournal.h"

#include "model/SqlText.h"
#include "storage/CocoLite.h"

QString PublishingJournal::creationRequete() {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS `audioPublishing` ( `afid` INTEGER PRIMARY "
                          "KEY, `destination` TEXT )");
}

void PublishingJournal::note(CocoLite& db, quint32 afid, const QString& destination) {
    db.inputDBrequest(SqlText::fill(
        u"INSERT OR REPLACE INTO `audioPublishing` ( `afid`, `destination` ) VALUES ( ?, ? )",
        {SqlText::unsignedNumber(afid), SqlText::text(destination)}));
}

void PublishingJournal::clear(CocoLite& db, quint32 afid) {
    db.inputDBrequest(SqlText::fill(u"DELETE FROM `audioPublishing` WHERE `afid` = ?",
                                    {SqlText::unsignedNumber(afid)}));
}

QList<QPair<quint32, QString>> PublishingJournal::pending(CocoLite& db) {
    QList<QPair<quint32, QString>> renames;
    for (const QVariantMap& row :
         db.outputDBrequest(QStringLiteral("SELECT * FROM `audioPublishing`"))) {
        renames.append({row.value(QStringLiteral("afid")).toUInt(),
                        row.value(QStringLiteral("destination")).toString()});
    }
    return renames;
}
