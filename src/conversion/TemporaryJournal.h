#pragma once

#include <QString>

// A file listing the hidden temporaries a run makes beside the music (partial
// outputs, lock files), each written before its temporary is created, so
// that what a killed run leaves is found and removed by the next run. Safe
// on any thread.
class TemporaryJournal {
public:
    // Adds a temporary's path; nothing when the journal has no path.
    static void add(const QString& journalPath, const QString& temporaryPath);
    // Removes every temporary the journal names that is still there: partial
    // outputs, and lock files nobody holds.
    static void removeListed(const QString& journalPath);
    // Whether a path is one of the hidden names temporaries are made under.
    static bool isTemporaryName(const QString& path);
};
