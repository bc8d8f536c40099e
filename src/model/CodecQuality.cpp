#include "CodecQuality.h"

#include <cstdlib>
#include <iterator>

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

CodecQuality::Family CodecQuality::familyOf(const QString& codecName) {
    const OutputCodec* codec = OutputCodec::find(codecName);
    return codec != nullptr ? familyOf(*codec) : Family::None;
}

namespace {
// Each family once: its name, its qualities best first, its default.
struct FamilyTable {
    CodecQuality::Family family;
    const char* name;
    QStringList choices;
    const char* defaultQuality;
};

const FamilyTable& tableOf(CodecQuality::Family family) {
    using Family = CodecQuality::Family;
    // LAME's constant rates from 128 kbit/s; AAC from 96 kbit/s, below which
    // FFmpeg's encoder is poor; Opus's useful range for music.
    static const FamilyTable tables[] = {
        {Family::Mp3, "MP3", levels("V", 0, 9) + bitRates({320, 256, 224, 192, 160, 128}), "V2"},
        {Family::Aac, "AAC", bitRates({320, 256, 224, 192, 160, 128, 112, 96}), "256k"},
        {Family::Opus, "Opus", bitRates({256, 192, 160, 128, 96, 64, 48, 32}), "160k"},
        {Family::Vorbis, "Vorbis", levels("q", 10, 0), "q6"},
        {Family::None, "", {}, ""},
    };
    for (const FamilyTable& table : tables) {
        if (table.family == family) {
            return table;
        }
    }
    return tables[std::size(tables) - 1];
}
} // namespace

const QStringList& CodecQuality::choices(Family family) {
    return tableOf(family).choices;
}

QString CodecQuality::defaultQuality(Family family) {
    return QLatin1String(tableOf(family).defaultQuality);
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

int CodecQuality::averageKilobits(const QString& quality) {
    static const int lame[] = {245, 225, 190, 175, 165, 130, 115, 100, 85, 65};
    static const int vorbis[] = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 500};
    const int scale = level(quality);
    if (quality.startsWith(QLatin1Char('V')) && scale >= 0 && scale < int(std::size(lame))) {
        return lame[scale];
    }
    if (quality.startsWith(QLatin1Char('q')) && scale >= 0 && scale < int(std::size(vorbis))) {
        return vorbis[scale];
    }
    return int(bitRate(quality) / 1000);
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
    return QLatin1String(tableOf(family).name);
}
