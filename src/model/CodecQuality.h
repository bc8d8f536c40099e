#pragma once

#include "model/OutputCodec.h"

#include <QString>
#include <QStringList>

// How each lossy codec's quality is chosen, each family its own: LAME's
// VBR levels or a constant bit rate for MP3, a bit rate for AAC (M4A and
// MP4) and for Opus (VBR), the quality scale for Vorbis. A quality is
// written as the terminal takes it: "V2", "256k", "q6". Holds no state.
class CodecQuality {
public:
    enum class Family { None, Mp3, Aac, Opus, Vorbis };

    static Family familyOf(const OutputCodec& codec);
    // The family of the codec of that name ("m4a", "mp3"); None when unknown.
    static Family familyOf(const QString& codecName);
    // Every quality a family offers, best first; none for lossless codecs.
    static const QStringList& choices(Family family);
    static QString defaultQuality(Family family);
    static bool accepts(Family family, const QString& quality) {
        return choices(family).contains(quality);
    }
    // The bits per second a quality asks for; 0 for a VBR level or a scale.
    static qint64 bitRate(const QString& quality);
    // LAME's VBR level (0 best to 9) or Vorbis's scale (0 to 10); -1 for a
    // bit rate.
    static int level(const QString& quality);
    // About how many kbit/s a quality gives: its bit rate, or what LAME's
    // level or Vorbis's scale gives on average.
    static int averageKilobits(const QString& quality);
    // What the single bit rate of earlier versions (bits per second) meant
    // for a family: the offered bit rate nearest to it.
    static QString fromBitRate(Family family, qint64 bitsPerSecond);
    // The family's name in the terminal's messages.
    static QString familyName(Family family);
};
