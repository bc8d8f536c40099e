#include "FileManager.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
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

bool FileManager::createDirectory(const QString& path, QString* error) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString partial;
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        partial += QLatin1Char('/') + part;
        const QByteArray encoded = QFile::encodeName(partial);
        if (::mkdir(encoded.constData(), 0777) == 0) {
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

bool FileManager::ensureDirectory(const QString& path, QString* error) {
    bool isDirectory = false;
    if (fileExists(path, &isDirectory) && isDirectory) {
        return true;
    }
    return createDirectory(path, error);
}

bool FileManager::removeItem(const QString& path, QString* error) {
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(encoded.constData(), &info) != 0) {
        if (error != nullptr) {
            *error = errorText(errno);
        }
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        if (QDir(path).removeRecursively()) {
            return true;
        }
        if (error != nullptr) {
            *error = errorText(EACCES);
        }
        return false;
    }
    if (::unlink(encoded.constData()) != 0) {
        if (error != nullptr) {
            *error = errorText(errno);
        }
        return false;
    }
    return true;
}
