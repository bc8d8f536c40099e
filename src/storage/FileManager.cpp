#include "FileManager.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileManager::fileExists(const QString& path, bool* isDirectory) {
    struct stat info {};
    const bool exists = !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0;
    if (isDirectory != nullptr) {
        *isDirectory = exists && S_ISDIR(info.st_mode);
    }
    return exists;
}

QString FileManager::errorText(int errorNumber) {
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

bool FileManager::createDirectory(const QString& path, QString* error, QStringList* created) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString partial;
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        partial += QLatin1Char('/') + part;
        const QByteArray encoded = QFile::encodeName(partial);
        if (::mkdir(encoded.constData(), 0777) == 0) {
            if (created != nullptr) {
                created->append(partial);
            }
            continue;
        }
        const int failure = errno;
        bool isDirectory = false;
        if (failure == EEXIST && fileExists(partial, &isDirectory) && isDirectory) {
            continue;
        }
        if (error != nullptr) {
            *error = QStringLiteral("%1 (%2)").arg(errorText(failure), partial);
        }
        return false;
    }
    return true;
}

bool FileManager::ensureDirectory(const QString& path, QString* error, QStringList* created) {
    bool isDirectory = false;
    if (fileExists(path, &isDirectory) && isDirectory) {
        return true;
    }
    return createDirectory(path, error, created);
}

bool FileManager::removeItem(const QString& path, QString* error) {
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info {};
    int failure = 0;
    if (::lstat(encoded.constData(), &info) != 0) {
        failure = errno;
    } else if (S_ISDIR(info.st_mode)) {
        failure = EISDIR;
    } else if (::unlink(encoded.constData()) != 0) {
        failure = errno;
    }
    if (failure != 0 && error != nullptr) {
        *error = errorText(failure);
    }
    return failure == 0;
}

void FileManager::removeEmptyFolders(const QStringList& outermostFirst) {
    for (auto folder = outermostFirst.crbegin(); folder != outermostFirst.crend(); ++folder) {
        // rmdir takes only an empty folder: anything another file put there keeps it.
        if (::rmdir(QFile::encodeName(*folder).constData()) != 0) {
            return;
        }
    }
}

bool FileManager::syncFolder(const QString& folder, QString* error) {
    const int descriptor =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int failure = descriptor < 0 ? errno : 0;
    if (descriptor >= 0) {
        if (::fsync(descriptor) != 0) {
            failure = errno;
        }
        ::close(descriptor);
    }
    if (failure != 0 && error != nullptr) {
        *error = errorText(failure);
    }
    return failure == 0;
}
