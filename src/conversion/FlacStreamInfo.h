#pragma once

#include <QString>

// What a FLAC file's STREAMINFO block states: its sample rate, channel
// count, depth and length, read from the file's first bytes.
struct FlacStreamInfo {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    quint64 totalSamples = 0;

    // All zero when the file does not start with a FLAC stream header.
    static FlacStreamInfo read(const QString& path);
    bool isValid() const { return sampleRate > 0 && channels > 0; }
    double seconds() const { return sampleRate > 0 ? double(totalSamples) / sampleRate : 0.0; }
};
