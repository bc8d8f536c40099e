#include "CoverSizing.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QList>

namespace {
constexpr int kJpegQuality = 90;

// Transparent pixels over white, without a painter: the terminal has no
// graphical application.
QImage onWhite(const QImage& image) {
    if (!image.hasAlphaChannel()) {
        return image.convertToFormat(QImage::Format_RGB32);
    }
    QImage source = image.convertToFormat(QImage::Format_ARGB32);
    QImage flat(source.size(), QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(flat.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const int alpha = qAlpha(in[x]);
            const auto blend = [alpha](int channel) {
                return (channel * alpha + 255 * (255 - alpha) + 127) / 255;
            };
            out[x] = qRgb(blend(qRed(in[x])), blend(qGreen(in[x])), blend(qBlue(in[x])));
        }
    }
    return flat;
}

QImage within(const QImage& image, int maxSide) {
    if (maxSide <= 0 || std::max(image.width(), image.height()) <= maxSide) {
        return image;
    }
    return image.scaled(QSize(maxSide, maxSide), Qt::KeepAspectRatio, Qt::SmoothTransformation);
}
} // namespace

const QList<qint64>& CoverSizing::limits() {
    static const QList<qint64> values = {0, 1600, 1200, 1000, 800, 600, 500, 300};
    return values;
}

QByteArray CoverSizing::baselineJpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kJpegQuality);
    writer.setProgressiveScanWrite(false);
    return writer.write(onWhite(image)) ? bytes : QByteArray();
}

QByteArray CoverSizing::fit(const QByteArray& data, QString* mimeType, int maxSide) {
    if (maxSide <= 0 || data.isEmpty()) {
        return data;
    }
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) <= maxSide) {
        return data;
    }
    const QImage image = reader.read();
    if (image.isNull() || std::max(image.width(), image.height()) <= maxSide) {
        return data;
    }
    const QByteArray scaled = baselineJpeg(within(image, maxSide));
    if (scaled.isEmpty()) {
        return data;
    }
    *mimeType = QStringLiteral("image/jpeg");
    return scaled;
}

QByteArray CoverSizing::asJpeg(const QByteArray& data, int maxSide) {
    QString type;
    const QByteArray fitted = fit(data, &type, maxSide);
    if (fitted != data || data.startsWith("\xFF\xD8")) {
        return fitted;
    }
    const QImage image = QImage::fromData(data);
    return image.isNull() ? QByteArray() : baselineJpeg(image);
}
