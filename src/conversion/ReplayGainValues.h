#pragma once

#include "model/TagList.h"

#include <optional>

class LoudnessScan;

// Where an output's ReplayGain values come from.
enum class ReplayGainMode { Copy = 0, Scan = 1, None = 2 };
// Which gain scales a lossy output's audio, for players without ReplayGain.
enum class ApplyGain { None = 0, Track = 1, Album = 2 };

// A file's ReplayGain 2.0 values: gains in dB towards −18 LUFS, peaks
// linear (1.0 is full scale). How they go into each kind of container: as
// REPLAYGAIN_* comments (TXXX frames in ID3, freeform atoms in MP4), and in
// Opus as its header's output gain with R128_* comments (RFC 7845). A value.
struct ReplayGainValues {
    std::optional<double> trackGain;
    std::optional<double> trackPeak;
    std::optional<double> albumGain;
    std::optional<double> albumPeak;

    bool isEmpty() const { return !trackGain && !albumGain; }
    // The REPLAYGAIN_* values a source carries; unreadable ones are left out.
    static ReplayGainValues fromTags(const TagList& tags);
    // A track's measured values, with its album's loudness and peak when known.
    static ReplayGainValues measured(const LoudnessScan& track,
                                     std::optional<double> albumLufs = std::nullopt,
                                     std::optional<double> albumPeak = std::nullopt);
    static double gainForLoudness(double lufs);
    // The values of the audio once scaled by that many dB.
    ReplayGainValues scaledBy(double gainDb) const;
    // The gain that scales the audio: the album's (the track's without one),
    // lowered so that the peak stays within full scale; 0 for none.
    double gainToApply(ApplyGain which) const;
    // The tags with their loudness comments replaced by these values.
    TagList appliedTo(const TagList& tags, bool opus) const;
    // The Opus header's output gain in Q7.8 dB, towards −23 LUFS: the
    // album's gain, or the track's without one.
    int opusOutputGain() const;
    // Whether a comment is one of the loudness ones these values replace.
    static bool isLoudnessTag(const QString& name);
};
