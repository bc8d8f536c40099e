#pragma once

#include <QString>

// What a published output, or a companion file copied beside outputs, was
// made from: kept by output path, beyond the queue's rows, so that a later
// pass can tell an output still in step with its source from one to redo.
// A value; safe on any thread.
struct OutputRecord {
    enum class Kind : qint64 { Output = 0, Companion = 1 };

    QString output;
    QString source;
    Kind kind = Kind::Output;
    qint64 sourceSize = -1;
    qint64 sourceModifiedNs = 0;
    // The source's audio: its stream's MD5 signature, with the range of a
    // disc image's track; for a stream without one, a hash of its decoded
    // audio.
    QString audioSignature;
    // The tags and cover written into the output.
    QString tagsFingerprint;
    // Everything of the settings that changes the output's audio.
    QString encodingFingerprint;
    // The output as it was written, to know it again.
    qint64 outputSize = -1;
    qint64 outputModifiedNs = 0;

    bool isValid() const { return !output.isEmpty(); }
    bool operator==(const OutputRecord&) const = default;
};
