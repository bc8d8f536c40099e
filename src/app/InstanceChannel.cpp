#include "InstanceChannel.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
constexpr int kTimeoutMs = 3000;
constexpr int kRetryMs = 50;
} // namespace

InstanceChannel::InstanceChannel(QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {}

InstanceChannel::~InstanceChannel() {
    if (m_lock >= 0) {
        ::close(m_lock);
    }
}

QString InstanceChannel::runtimeFolder() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::tempPath();
    }
    return folder;
}

QString InstanceChannel::socketPath() {
    return QStringLiteral("%1/tonebridge-%2.socket").arg(runtimeFolder()).arg(::getuid());
}

QString InstanceChannel::lockPath() {
    return QStringLiteral("%1/tonebridge-%2.lock").arg(runtimeFolder()).arg(::getuid());
}

bool InstanceChannel::claim() {
    if (m_lock >= 0) {
        return true;
    }
    const int descriptor =
        ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        // Nowhere to keep a lock: one instance cannot be told from two, so
        // this one runs.
        return true;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        return false;
    }
    m_lock = descriptor;
    return true;
}

bool InstanceChannel::sendToRunningInstance(const QStringList& absolutePaths, int waitMs) {
    QLocalSocket socket;
    // The running instance may hold the lock and not listen yet.
    for (int waited = 0;; waited += kRetryMs) {
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(kTimeoutMs)) {
            break;
        }
        if (waited >= waitMs) {
            return false;
        }
        QThread::msleep(kRetryMs);
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
    if (!claim()) {
        return false;
    }
    // Holding the lock, this is the one instance: a socket left there is a
    // dead one's.
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
