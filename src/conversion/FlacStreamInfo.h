#pragma once

#include <QByteArray>
#include <QString>

// What a FLAC file's STREAMINFO block states: its sample rate, channel
// count, depth and length, read from the file's first bytes, in a native
// FLAC file or in the first page of an Ogg FLAC one. Safe on any thread.
struct FlacStreamInfo {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    // 0 when the stream does not say (a stream that starts at a frame).
    quint64 totalSamples = 0;
    // The MD5 signature of the decoded audio; all zero when the encoder
    // did not compute it.
    QByteArray md5;
    // The stream is carried in Ogg pages.
    bool ogg = false;
    // What the file is when it is no FLAC, as its first bytes tell ("MP3",
    // "WAV", "Ogg Vorbis"…); empty when they tell nothing.
    QString otherFormat;

    // All zero when the file starts with no stream header.
    static FlacStreamInfo read(const QString& path);
    bool isValid() const { return sampleRate > 0 && channels > 0; }
    bool lengthKnown() const { return isValid() && totalSamples > 0; }
    double seconds() const { return sampleRate > 0 ? double(totalSamples) / sampleRate : 0.0; }
};
