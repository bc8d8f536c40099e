#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QMetaType>
#include <QMutex>
#include <QString>

#include <memory>

class Image;
using ImagePtr = std::shared_ptr<Image>;

// A picture shared by pointer. An image made for a file only references it:
// the file is read, and scaled, when the image is first drawn. A named image
// comes from the application's resources, one shared instance per name, so
// two answers that are the same named image are the same object.
class Image {
public:
    enum class Kind { File, Named, FileIcon };

    Image(Kind kind, const QString& location, const QString& name);

    static ImagePtr byReferencingFile(const QString& path, const QString& name);
    // Null when the application has no image of that name.
    static ImagePtr named(const QString& name);
    // The icon the desktop shows for the file's type.
    static ImagePtr fileIcon(const QString& path);

    Kind kind() const { return m_kind; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    // The referenced file, or the resource path of a named image.
    QString location() const { return m_location; }
    // Whether the file holds a picture that can be read (reads its header only).
    bool canRead() const;
    // The picture scaled to fit a square of that side, read on first use and
    // kept for the next draws: a named image's by the image, a file's in a
    // cache of bounded size shared by every image of that file as it was
    // when the image was made (a library's list draws 100,000 thumbnails).
    QImage scaled(int side) const;
    // At most this much of the files' scaled pictures is kept.
    static constexpr qint64 kScaledCacheBytes = 64LL * 1024 * 1024;
    // The picture at its own size.
    QImage fullImage() const;
    // The bytes to embed as a cover: the file's own JPEG or PNG bytes, any
    // other picture encoded as PNG. Empty when there is nothing to embed.
    QByteArray coverData(QString* mimeType) const;

private:
    QImage render(int side) const;
    QImage renderIcon(int side) const;

    // The key of a file's scaled picture in the shared cache.
    QString scaledKey(int side) const;

    Kind m_kind;
    QString m_location;
    // For a file: its size and time when the image was made.
    QString m_fileStamp;
    QString m_name;
    mutable QMutex m_mutex;
    mutable QHash<int, QImage> m_scaled;
    // The file's type, for its icon; found on first draw.
    mutable QString m_iconType;
};

Q_DECLARE_METATYPE(ImagePtr)
