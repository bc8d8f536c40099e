#pragma once

#include <QString>

// A destination claimed for writing: an exclusive lock (flock) on a hidden
// file beside it, held while its output is written, published and checked,
// so that two programs (two terminal runs, the window and a terminal run)
// never write one destination at once. The kernel drops the lock with its
// process, however the process ends. Lives on the thread that writes the
// output; moves, never copies.
class DestinationClaim {
public:
    enum class Result { Claimed, Busy, Failed };

    DestinationClaim() = default;
    ~DestinationClaim();
    DestinationClaim(const DestinationClaim&) = delete;
    DestinationClaim& operator=(const DestinationClaim&) = delete;

    // Claims the destination without waiting: Busy when another holds it,
    // Failed (with the reason) when its folder cannot take the lock file.
    Result claim(const QString& destinationPath, QString* error = nullptr);
    // Removes the lock file and drops the lock.
    void release();
    bool isHeld() const { return m_descriptor >= 0; }

    // The hidden lock file of a destination: short whatever its name's length.
    static QString lockPath(const QString& destinationPath);
    static bool isLockPath(const QString& path);
    // Removes a lock file a run left when nobody holds it any more.
    static void removeStale(const QString& lockPath);

private:
    Result lock(const QString& lockPath, QString* error);

    int m_descriptor = -1;
    QString m_lockPath;
};
