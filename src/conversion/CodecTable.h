#pragma once

#include <QString>

// What each output codec (given as the output extension) writes.
class CodecTable {
public:
    struct Entry {
        const char* muxer = nullptr;
        // The lossy encoder; null for PCM, whose encoder follows the source depth.
        const char* lossyEncoder = nullptr;
        qint64 defaultBitRate = 0;
        bool bigEndianPcm = true;
        bool aifc = false;
        bool takesCover = false;
        bool id3InAiff = false;
    };

    // False for a codec outside the table.
    static bool lookup(const QString& codec, Entry* entry);
    // The PCM encoder for a source depth, in the container's byte order.
    static const char* pcmEncoder(const Entry& entry, int bitsPerSample);
    // The AIFF-C compression type of a big-endian PCM encoder.
    static unsigned aifcTag(int bitsPerSample);
    // The LAME constant bit rate nearest to the asked one at that sample rate.
    static qint64 nearestMp3BitRate(qint64 bitsPerSecond, int sampleRate);
    // The encoder's sample rate nearest to the asked one (the asked one when
    // the encoder takes any rate).
    static int nearestSampleRate(const char* encoderName, int sampleRate);
};
