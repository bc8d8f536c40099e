#include "DestinationClaim.h"

#include "storage/FileIdentity.h"
#include "storage/FileManager.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const QString kLockSuffix = QStringLiteral(".lock");
// A lock file removed by its holder between our open and our lock is
// opened again; this many times is far more than any real race needs.
constexpr int kAttempts = 8;
} // namespace

DestinationClaim::~DestinationClaim() {
    release();
}

QString DestinationClaim::lockPath(const QString& destinationPath) {
    const QFileInfo destination(destinationPath);
    const QByteArray hash =
        QCryptographicHash::hash(destination.fileName().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return destination.absolutePath() + QStringLiteral("/.tmp_") + QString::fromLatin1(hash) +
           kLockSuffix;
}

bool DestinationClaim::isLockPath(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.startsWith(QLatin1String(".tmp_")) && name.endsWith(kLockSuffix);
}

DestinationClaim::Result DestinationClaim::lock(const QString& path, QString* error) {
    const QByteArray encoded = QFile::encodeName(path);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int descriptor = ::open(encoded.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor < 0) {
            if (error != nullptr) {
                *error = FileManager::errorText(errno);
            }
            return Result::Failed;
        }
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            const int failure = errno;
            ::close(descriptor);
            if (failure == EWOULDBLOCK) {
                return Result::Busy;
            }
            if (error != nullptr) {
                *error = FileManager::errorText(failure);
            }
            return Result::Failed;
        }
        // The holder before us removes the file as it lets go: a lock on a
        // file that no longer bears the name guards nothing.
        const FileIdentity locked = FileIdentity::ofDescriptor(descriptor);
        const FileIdentity named = FileIdentity::of(path);
        if (named.exists() && named.device == locked.device && named.inode == locked.inode) {
            m_descriptor = descriptor;
            m_lockPath = path;
            return Result::Claimed;
        }
        ::close(descriptor);
    }
    if (error != nullptr) {
        *error = FileManager::errorText(EAGAIN);
    }
    return Result::Failed;
}

DestinationClaim::Result DestinationClaim::claim(const QString& destinationPath, QString* error) {
    release();
    return lock(lockPath(destinationPath), error);
}

void DestinationClaim::release() {
    if (m_descriptor < 0) {
        return;
    }
    // Removed while still held, so no one locks a file that is going.
    ::unlink(QFile::encodeName(m_lockPath).constData());
    ::close(m_descriptor);
    m_descriptor = -1;
    m_lockPath.clear();
}

void DestinationClaim::removeStale(const QString& lockPath) {
    if (!isLockPath(lockPath) || !FileManager::fileExists(lockPath)) {
        return;
    }
    DestinationClaim stale;
    if (stale.lock(lockPath, nullptr) == Result::Claimed) {
        stale.release();
    }
}
