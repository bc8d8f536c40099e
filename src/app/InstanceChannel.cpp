#include "InstanceChannel.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace {
constexpr int kTimeoutMs = 3000;
}

InstanceChannel::InstanceChannel(QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {}

QString InstanceChannel::socketPath() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::tempPath();
    }
    return QStringLiteral("%1/tonebridge-%2.socket").arg(folder).arg(::getuid());
}

bool InstanceChannel::sendToRunningInstance(const QStringList& absolutePaths) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kTimeoutMs)) {
        return false;
    }
    QByteArray message;
    for (const QString& path : absolutePaths) {
        message += path.toUtf8() + '\0';
    }
    socket.write(message);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(kTimeoutMs);
    }
    return true;
}

bool InstanceChannel::listen() {
    QLocalServer::removeServer(socketPath());
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath())) {
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            connect(client, &QLocalSocket::readyRead, client,
                    [client, buffer] { buffer->append(client->readAll()); });
            connect(client, &QLocalSocket::disconnected, this, [this, client, buffer] {
                buffer->append(client->readAll());
                QStringList paths;
                for (const QByteArray& part : buffer->split('\0')) {
                    if (!part.isEmpty()) {
                        paths.append(QString::fromUtf8(part));
                    }
                }
                client->deleteLater();
                emit pathsReceived(paths);
            });
        }
    });
    return true;
}
