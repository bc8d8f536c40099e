#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

// One running Tonebridge per user: the first start takes a lock (flock on a
// file in the runtime folder, dropped by the kernel with its process) before
// it touches the socket; a later start, finding the lock taken, hands the
// paths it was given to the running one through the local socket, and
// exits. Lives on the main thread.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);
    ~InstanceChannel() override;

    static QString socketPath();
    static QString lockPath();
    // Takes the lock without waiting: true when this process is the one
    // running instance.
    bool claim();
    // True when a running instance took the paths; waits that long for one
    // that is still starting to listen.
    static bool sendToRunningInstance(const QStringList& absolutePaths, int waitMs = 0);
    // Becomes the instance that others hand their paths to; only once the
    // lock is held.
    bool listen();

signals:
    void pathsReceived(const QStringList& paths);

private:
    static QString runtimeFolder();

    QLocalServer* m_server;
    int m_lock = -1;
};
