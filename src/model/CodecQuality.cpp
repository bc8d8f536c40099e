#include "CodecQuality.h"

#include <cstdlib>

namespace {
QStringList bitRates(std::initializer_list<int> kilobits) {
    QStringList list;
    for (const int rate : kilobits) {
        list << QStringLiteral("%1k").arg(rate);
    }
    return list;
}

QStringList levels(const char* prefix, int best, int worst) {
    QStringList list;
    for (int level = best; best < worst ? level <= worst : level >= worst;
         level += best < worst ? 1 : -1) {
        list << QLatin1String(prefix) + QString::number(level);
    }
    return list;
}
} // namespace

CodecQuality::Family CodecQuality::familyOf(const OutputCodec& codec) {
    if (codec.lossless || codec.encoder == nullptr) {
        return Family::None;
    }
    const QLatin1String encoder(codec.encoder);
    if (encoder == QLatin1String("libmp3lame")) {
        return Family::Mp3;
    }
    if (encoder == QLatin1String("libopus")) {
        return Family::Opus;
    }
    if (encoder == QLatin1String("libvorbis")) {
        return Family::Vorbis;
    }
    return Family::Aac;
}

const QStringList& CodecQuality::choices(Family family) {
    // LAME's constant rates from 128 kbit/s; AAC from 96 kbit/s, below which
    // FFmpeg's encoder is poor; Opus's useful range for music.
    static const QStringList mp3 = levels("V", 0, 9) + bitRates({320, 256, 224, 192, 160, 128});
    static const QStringList aac = bitRates({320, 256, 224, 192, 160, 128, 112, 96});
    static const QStringList opus = bitRates({256, 192, 160, 128, 96, 64, 48, 32});
    static const QStringList vorbis = levels("q", 10, 0);
    static const QStringList none;
    switch (family) {
    case Family::Mp3:
        return mp3;
    case Family::Aac:
        return aac;
    case Family::Opus:
        return opus;
    case Family::Vorbis:
        return vorbis;
    case Family::None:
        break;
    }
    return none;
}

QString CodecQuality::defaultQuality(Family family) {
    switch (family) {
    case Family::Mp3:
        return QStringLiteral("V2");
    case Family::Aac:
        return QStringLiteral("256k");
    case Family::Opus:
        return QStringLiteral("160k");
    case Family::Vorbis:
        return QStringLiteral("q6");
    case Family::None:
        break;
    }
    return QString();
}

qint64 CodecQuality::bitRate(const QString& quality) {
    if (!quality.endsWith(QLatin1Char('k'))) {
        return 0;
    }
    return quality.chopped(1).toLongLong() * 1000;
}

int CodecQuality::level(const QString& quality) {
    if (quality.startsWith(QLatin1Char('V')) || quality.startsWith(QLatin1Char('q'))) {
        bool ok = false;
        const int level = quality.mid(1).toInt(&ok);
        return ok ? level : -1;
    }
    return -1;
}

QString CodecQuality::fromBitRate(Family family, qint64 bitsPerSecond) {
    QString nearest;
    qint64 distance = 0;
    for (const QString& quality : choices(family)) {
        const qint64 rate = bitRate(quality);
        if (rate > 0 && (nearest.isEmpty() || std::llabs(rate - bitsPerSecond) < distance)) {
            nearest = quality;
            distance = std::llabs(rate - bitsPerSecond);
        }
    }
    return nearest.isEmpty() ? defaultQuality(family) : nearest;
}

QString CodecQuality::familyName(Family family) {
    switch (family) {
    case Family::Mp3:
        return QStringLiteral("MP3");
    case Family::Aac:
        return QStringLiteral("AAC");
    case Family::Opus:
        return QStringLiteral("Opus");
    case Family::Vorbis:
        return QStringLiteral("Vorbis");
    case Family::None:
        break;
    }
    return QString();
}
