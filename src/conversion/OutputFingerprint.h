#pragma once

#include "model/TagList.h"

#include <QByteArray>
#include <QString>

// Short texts that tell whether what goes into an output changed since it
// was written: its tags and cover, and its source's audio. Safe on any
// thread; holds no state.
class OutputFingerprint {
public:
    // The tags in their order and the cover's bytes.
    static QString tags(const TagList& tags, const QByteArray& cover);
    // A source's audio from its stream's MD5 signature (16 bytes, all zero
    // when the encoder did not compute it: then empty), with the samples
    // of a disc image's track.
    static QString audio(const QByteArray& md5, qint64 firstSample, qint64 endSample);
    // The same for a stream without a signature, from its decoded audio.
    static QString decodedAudio(const QString& decodedPath);
    // A tags fingerprint marked as holding loudness measured from the audio,
    // and whether one is: an output without it must be decoded to get it.
    static QString withMeasuredLoudness(const QString& tagsFingerprint);
    static bool hasMeasuredLoudness(const QString& tagsFingerprint);
};
