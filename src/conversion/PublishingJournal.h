#pragma once

#include <QList>
#include <QPair>
#include <QString>

class CocoLite;

// The outputs being renamed onto their destinations, kept in a table of
// their own: a row is written before the rename and goes with the record's
// save that follows it, in one transaction. A row found at start-up is a
// rename a crash interrupted: the output is in place when its partial file
// is gone, otherwise the partial file is a leftover.
class PublishingJournal {
public:
    static QString creationRequete();
    static void note(CocoLite& db, quint32 afid, const QString& destination);
    static void clear(CocoLite& db, quint32 afid);
    // The interrupted renames: each file's identifier and destination.
    static QList<QPair<quint32, QString>> pending(CocoLite& db);
};
