#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QImage;

// Covers sized for devices: many car stereos and some players show no art
// larger than about 1000 px, or in progressive JPEG. A cover larger than
// the limit on its longest side is scaled down, its shape kept, and written
// as a baseline JPEG (a transparent PNG flattened on white); one within the
// limit goes as it is, byte for byte. Any thread; holds no state.
class CoverSizing {
public:
    // The limits the settings offer, in pixels; 0 keeps the original.
    static const QList<qint64>& limits();
    // The cover within maxSide pixels (0: no limit); its type follows.
    static QByteArray fit(const QByteArray& data, QString* mimeType, int maxSide);
    // The cover as a JPEG file within maxSide pixels: a JPEG within it as
    // it is, anything else written anew.
    static QByteArray asJpeg(const QByteArray& data, int maxSide);

private:
    static QByteArray baselineJpeg(const QImage& image);
};
