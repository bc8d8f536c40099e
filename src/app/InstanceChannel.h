#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

// One running Tonebridge per user: a later start hands the paths it was given
// to the running one through a local socket, and exits.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);

    static QString socketPath();
    // True when a running instance took the paths.
    static bool sendToRunningInstance(const QStringList& absolutePaths);
    // Becomes the instance that others hand their paths to.
    bool listen();

signals:
    void pathsReceived(const QStringList& paths);

private:
    QLocalServer* m_server;
};
