#pragma once

#include <QString>

// The outputs being published onto their destinations are kept in the
// queue's store (a row written before the output takes its name); this is
// what reading those rows needs beside it.
class PublishingJournal {
public:
    // The name a partial output had before each got a name of its own.
    static QString legacyPartialPath(const QString& destination);
};
