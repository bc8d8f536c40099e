#include "FileSystemKind.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/statfs.h>

namespace {
constexpr qint64 kMsdos = 0x4d44;
constexpr qint64 kExfat = 0x2011BAB0;
constexpr qint64 kNtfs = 0x5346544e;
constexpr qint64 kNtfs3 = 0x7366746e;
constexpr qint64 kFuse = 0x65735546;
constexpr qint64 kCifs = 0xFF534D42;
constexpr qint64 kSmb2 = 0xFE534D42;
constexpr qint64 kSmb = 0x517B;
} // namespace

bool FileSystemKind::isPortableOnly(qint64 type, const QString& fuseType) {
    switch (type) {
    case kMsdos:
    case kExfat:
    case kNtfs:
    case kNtfs3:
    case kCifs:
    case kSmb2:
    case kSmb:
        return true;
    case kFuse:
        // ntfs-3g and exfat-fuse mount block devices; sshfs and the like
        // take any name.
        return fuseType == QLatin1String("fuseblk");
    default:
        return false;
    }
}

QString FileSystemKind::fuseTypeOf(const QString& path) {
    // The mount whose point is the longest beginning of the path.
    QFile mounts(QStringLiteral("/proc/self/mountinfo"));
    if (!mounts.open(QIODevice::ReadOnly)) {
        return QString();
    }
    QString best;
    QString type;
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 5 || separator < 0 || separator + 1 >= fields.size()) {
            continue;
        }
        const QString point = QString::fromUtf8(fields.at(4));
        const bool under =
            path == point ||
            path.startsWith(point.endsWith(QLatin1Char('/')) ? point : point + QLatin1Char('/'));
        if (under && point.size() >= best.size()) {
            best = point;
            type = QString::fromUtf8(fields.at(separator + 1));
        }
    }
    return type;
}

bool FileSystemKind::takesOnlyPortableNames(const QString& folder) {
    QString path = QFileInfo(folder).absoluteFilePath();
    while (!QFileInfo::exists(path) && path != QLatin1String("/")) {
        path = QFileInfo(path).absolutePath();
    }
    struct statfs info {};
    if (::statfs(QFile::encodeName(path).constData(), &info) != 0) {
        return false;
    }
    const qint64 type = qint64(quint32(info.f_type));
    return isPortableOnly(type, type == kFuse ? fuseTypeOf(QFileInfo(path).canonicalFilePath())
                                              : QString());
}
