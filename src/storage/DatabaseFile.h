#pragma once

#include <QString>

// The queue's database file as a file: whether SQLite can read it at all,
// and moving an unreadable one out of the way.
class DatabaseFile {
public:
    // True when a file is there that SQLite does not take for a database.
    static bool isNotADatabase(const QString& path);
    // Renames the file (and its journal files) to path + ".corrupt-<date>";
    // answers the new path, empty when it could not be moved.
    static QString moveAside(const QString& path);
};
