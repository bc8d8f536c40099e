#pragma once

#include "model/OutputCodec.h"

#include <QString>

// What FFmpeg's encoders take, for the codecs of the output table.
class CodecTable {
public:
    // The PCM encoder for a source depth, in the container's byte order.
    static const char* pcmEncoder(const OutputCodec& codec, int bitsPerSample);
    // The AIFF-C compression type of a big-endian PCM encoder.
    static unsigned aifcTag(int bitsPerSample);
    // The LAME constant bit rate nearest to the asked one at that sample rate.
    static qint64 nearestMp3BitRate(qint64 bitsPerSecond, int sampleRate);
    // The sample rate the codec's encoder writes for the asked one: its only
    // rate, its nearest rate, or the asked one when it takes any.
    static int usableSampleRate(const OutputCodec& codec, int sampleRate);
    // Only lower: a source rate above the maximum (0: none) goes to the
    // highest rate of its own family within it (44.1, 88.2, 176.4 kHz or
    // 48, 96, 192 kHz), or to the maximum when its family has none there;
    // a rate within it stays.
    static int limitedSampleRate(int sourceRate, int maximum);
    // What the user is told when the rate asked for (chosen: positive; else
    // the source's) cannot be written: said only when the user chose it, or
    // when the codec has rates of its own (AAC, MP3) that the source misses
    // (Opus is always 48 kHz). Empty when nothing is to be said.
    static QString rateNotice(const OutputCodec& codec, qint64 chosenRate, int sourceRate);
};
