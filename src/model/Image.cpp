#include "Image.h"

#include <QBuffer>
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
    : m_kind(kind), m_location(location), m_name(name) {}

ImagePtr Image::byReferencingFile(const QString& path, const QString& name) {
    return std::make_shared<Image>(Kind::File, path, name);
}

ImagePtr Image::named(const QString& name) {
    static QMutex mutex;
    static QHash<QString, ImagePtr> shared;
    QMutexLocker lock(&mutex);
    const QString path = resourcePath(name);
    if (path.isEmpty()) {
        return nullptr;
    }
    ImagePtr& image = shared[path];
    if (!image) {
        image = std::make_shared<Image>(Kind::Named, path, name);
    }
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

QImage Image::render(int side) const {
    if (m_kind == Kind::FileIcon &&
        qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        const ImagePtr fallback = named(QStringLiteral("flac-icon256"));
        return fallback ? fallback->scaled(side) : QImage();
    }
    if (m_kind == Kind::FileIcon) {
        static const QMimeDatabase mimeDatabase;
        const QMimeType type =
            mimeDatabase.mimeTypeForFile(m_location, QMimeDatabase::MatchExtension);
        QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
        if (!icon.isNull()) {
            return icon.pixmap(side, side).toImage();
        }
        // Without an icon theme the application's own picture stands in.
        const ImagePtr fallback = named(QStringLiteral("flac-icon256"));
        return fallback ? fallback->scaled(side) : QImage();
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
    {
        QMutexLocker lock(&m_mutex);
        const auto found = m_scaled.constFind(side);
        if (found != m_scaled.constEnd()) {
            return found.value();
        }
    }
    const QImage picture = render(side);
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
