#include "Image.h"

#include <QBuffer>
#include <QCache>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QMimeDatabase>
#include <QMutexLocker>

namespace {
constexpr int kMaxCachedSizes = 4;

QString resourcePath(const QString& name) {
    QString base = name;
    if (base.endsWith(QLatin1String(".png")) || base.endsWith(QLatin1String(".svg"))) {
        base.chop(4);
    }
    for (const char* suffix : {".svg", ".png"}) {
        const QString path = QStringLiteral(":/images/") + base + QLatin1String(suffix);
        if (QFile::exists(path)) {
            return path;
        }
    }
    return QString();
}
} // namespace

Image::Image(Kind kind, const QString& location, const QString& name)
    : m_kind(kind), m_location(location), m_name(name) {
    if (kind == Kind::File) {
        const QFileInfo info(location);
        m_fileStamp = QString::number(info.size()) + QLatin1Char('-') +
                      QString::number(info.lastModified().toMSecsSinceEpoch());
    }
}

QString Image::scaledKey(int side) const {
    return m_location + QLatin1Char('\n') + m_fileStamp + QLatin1Char('\n') + QString::number(side);
}

ImagePtr Image::byReferencingFile(const QString& path, const QString& name) {
    return std::make_shared<Image>(Kind::File, path, name);
}

ImagePtr Image::named(const QString& name) {
    static QMutex mutex;
    static QHash<QString, ImagePtr> byName;
    static QHash<QString, ImagePtr> byPath;
    QMutexLocker lock(&mutex);
    const auto known = byName.constFind(name);
    if (known != byName.constEnd()) {
        return known.value();
    }
    const QString path = resourcePath(name);
    ImagePtr image;
    if (!path.isEmpty()) {
        ImagePtr& shared = byPath[path];
        if (!shared) {
            shared = std::make_shared<Image>(Kind::Named, path, name);
        }
        image = shared;
    }
    byName.insert(name, image);
    return image;
}

ImagePtr Image::fileIcon(const QString& path) {
    return std::make_shared<Image>(Kind::FileIcon, path, QFileInfo(path).fileName());
}

bool Image::canRead() const {
    if (m_kind != Kind::File) {
        return true;
    }
    QImageReader reader(m_location);
    return reader.canRead() && reader.size().isValid();
}

QImage Image::renderIcon(int side) const {
    // Files of one type share their icon: it is drawn once per type and size.
    static QMutex iconMutex;
    static QHash<QString, QImage> icons;
    static const QMimeDatabase mimeDatabase;
    QMutexLocker lock(&iconMutex);
    if (m_iconType.isEmpty()) {
        m_iconType = mimeDatabase.mimeTypeForFile(m_location, QMimeDatabase::MatchExtension).name();
    }
    const QString key = m_iconType + QLatin1Char('@') + QString::number(side);
    const auto found = icons.constFind(key);
    if (found != icons.constEnd()) {
        return found.value();
    }
    QImage drawn;
    // Without a window system there is no icon theme to ask.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        const QMimeType type = mimeDatabase.mimeTypeForName(m_iconType);
        const QIcon icon =
            QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
        if (!icon.isNull()) {
            drawn = icon.pixmap(side, side).toImage();
        }
    }
    if (drawn.isNull()) {
        // Without an icon theme the application's own picture stands in.
        if (const ImagePtr fallback = named(QStringLiteral("flac-icon256"))) {
            drawn = fallback->scaled(side);
        }
    }
    drawn = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    icons.insert(key, drawn);
    return drawn;
}

QImage Image::render(int side) const {
    if (m_kind == Kind::FileIcon) {
        return renderIcon(side);
    }
    QImageReader reader(m_location);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (side > 0 && size.isValid()) {
        reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
    }
    return reader.read();
}

QImage Image::scaled(int side) const {
    if (m_kind == Kind::FileIcon) {
        // Drawn once per file type, not once per file.
        return render(side);
    }
    if (m_kind == Kind::File) {
        // Costs in KB.
        static QCache<QString, QImage> files(int(kScaledCacheBytes / 1024));
        static QMutex filesMutex;
        const QString key = scaledKey(side);
        {
            QMutexLocker lock(&filesMutex);
            if (const QImage* found = files.object(key)) {
                return *found;
            }
        }
        const QImage picture = render(side).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QMutexLocker lock(&filesMutex);
        files.insert(key, new QImage(picture),
                     std::max<qsizetype>(1, picture.sizeInBytes() / 1024));
        return picture;
    }
    {
        QMutexLocker lock(&m_mutex);
        const auto found = m_scaled.constFind(side);
        if (found != m_scaled.constEnd()) {
            return found.value();
        }
    }
    // Kept in the format the painters draw fastest.
    const QImage picture = render(side).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QMutexLocker lock(&m_mutex);
    if (m_scaled.size() >= kMaxCachedSizes) {
        m_scaled.clear();
    }
    m_scaled.insert(side, picture);
    return picture;
}

QImage Image::fullImage() const {
    if (m_kind == Kind::File) {
        return render(0);
    }
    return scaled(512);
}

QByteArray Image::coverData(QString* mimeType) const {
    if (m_kind == Kind::File) {
        QFile file(m_location);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            if (bytes.startsWith("\xFF\xD8\xFF")) {
                *mimeType = QStringLiteral("image/jpeg");
                return bytes;
            }
            if (bytes.startsWith("\x89PNG\r\n\x1A\n")) {
                *mimeType = QStringLiteral("image/png");
                return bytes;
            }
        }
    }
    const QImage picture = fullImage();
    if (picture.isNull()) {
        return QByteArray();
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    *mimeType = QStringLiteral("image/png");
    return png;
}
