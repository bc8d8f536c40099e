#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <functional>

// Removes files on a thread of its own, so that the main thread never waits
// on a folder that may stall (a destination on a network share). Files and
// links only, never folders. A file given up at some moment is kept when it
// was written within the second before it or since: something took it up
// again (a picture shared by a file being added). Made and called on the
// main thread; the removals run in order on its one worker thread, and the
// destructor waits for them.
class BackgroundRemoval {
public:
    BackgroundRemoval();
    ~BackgroundRemoval();
    BackgroundRemoval(const BackgroundRemoval&) = delete;
    BackgroundRemoval& operator=(const BackgroundRemoval&) = delete;

    void remove(const QStringList& paths);
    // Removes the files given up now.
    void removeGivenUp(const QStringList& paths);
    // Removes the files of the folder whose names start with the prefix,
    // but those kept and those written since a second before now.
    void sweep(const QString& folder, const QString& prefix, const QSet<QString>& kept);
    void waitForDone();

private:
    static void removeUnlessWrittenSince(const QString& path, const QDateTime& givenUp);
    void run(std::function<void()> work);

    QThreadPool m_pool;
};
