#pragma once

#include "model/TagList.h"

#include <QHash>

class CocoLite;

// Every comment read from a file's source, kept in `audioTag` beside the
// audio file rows (one row per value, in the source's order), so that a
// restart carries them all. Main thread, as the database is.
class SourceTagTable {
public:
    static QString creationRequete();
    static TagList load(CocoLite& db, quint32 afid);
    // The comments of many files in one query; a file without any is absent.
    static QHash<quint32, TagList> load(CocoLite& db, const QList<quint32>& afids);
    // Replaces the file's rows with these.
    static void save(CocoLite& db, quint32 afid, const TagList& tags);
    static void remove(CocoLite& db, quint32 afid);
    static void clear(CocoLite& db);
};
