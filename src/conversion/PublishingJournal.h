#pragma once

#include <QList>
#include <QString>

class CocoLite;

// The outputs being published onto their destinations, kept in a table of
// their own: a row is written before the output takes its name and goes
// with the record's save that follows, in one transaction. A row found later
// is a publishing a crash or a stop interrupted: the output is in place when
// the destination is there and its partial file gone (or the same file),
// otherwise the partial file is a leftover.
class PublishingJournal {
public:
    struct Row {
        quint32 afid = 0;
        QString destination;
        // Empty in a row written before partial files had names of their own.
        QString partial;
    };

    static QString creationRequete();
    // Brings a table made by an earlier version to this one's columns.
    static void migrate(CocoLite& db);
    static void note(CocoLite& db, quint32 afid, const QString& destination,
                     const QString& partial);
    static void clear(CocoLite& db, quint32 afid);
    static QList<Row> pending(CocoLite& db);
    // The name a partial output had before each got a name of its own.
    static QString legacyPartialPath(const QString& destination);
};
