#include "FileIdentity.h"

#include <QFile>

#include <sys/stat.h>

namespace {
FileIdentity fromStat(const struct stat& info) {
    FileIdentity identity;
    identity.device = quint64(info.st_dev);
    identity.inode = quint64(info.st_ino);
    identity.size = qint64(info.st_size);
    identity.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.regularFile = S_ISREG(info.st_mode);
    return identity;
}
} // namespace

FileIdentity FileIdentity::of(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return FileIdentity();
    }
    return fromStat(info);
}

FileIdentity FileIdentity::ofDescriptor(int descriptor) {
    struct stat info {};
    if (descriptor < 0 || ::fstat(descriptor, &info) != 0) {
        return FileIdentity();
    }
    return fromStat(info);
}

bool FileIdentity::sameFileAs(const FileIdentity& other) const {
    return exists() && other.exists() && device == other.device && inode == other.inode &&
           size == other.size && modifiedNs == other.modifiedNs && regularFile == other.regularFile;
}
