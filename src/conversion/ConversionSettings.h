#pragma once

#include "conversion/ReplayGainValues.h"
#include "model/DestinationRules.h"

#include <QString>
#include <QStringList>

class Settings;

// The settings a pass converts with, read once when it starts: a change
// made during a pass applies to the next one. A value, copied to the jobs.
struct ConversionSettings {
    QString codec;
    // Where the outputs go and how they are named.
    DestinationRules destination;
    ExistingOutput existing = ExistingOutput::Error;
    bool deleteSource = false;
    bool preserveDate = false;
    bool forgetWhenFinished = true;
    // Negative: keep the source's, or the codec's default.
    qint64 sampleRate = -1;
    // Only lower: 0 for no limit.
    int maxSampleRate = 0;
    int maxBits = 0;
    qint64 channels = -1;
    // The lossy codec's quality ("V2", "256k", "q6"); empty for lossless.
    QString quality;
    qint64 compression = -1;
    // How many files convert at once, resolved: at least 1.
    int jobs = 1;
    // With the tree destination: files of the source folders matching these
    // patterns are copied beside the outputs.
    bool copyCompanions = false;
    QStringList companionPatterns;
    // Outputs recorded from sources under the pass's folders that are gone
    // go to the trash once the pass is over.
    bool pruneOrphans = false;
    // 4, or 3: the ID3v2 version of MP3 and AIFF outputs.
    int id3Version = 4;
    // Covers within this many pixels (0: as they are), and a cover.jpg in
    // each output folder.
    int coverMaxSide = 0;
    // Portable names when the destination's file system needs them.
    bool portableNamesWhenNeeded = true;
    bool coverFile = false;
    // Where ReplayGain values come from, and the gain lossy audio is scaled by.
    ReplayGainMode replayGain = ReplayGainMode::Copy;
    ApplyGain applyGain = ApplyGain::None;
    // Nothing is written: each file says what a pass would do with it.
    bool dryRun = false;

    // Everything here that changes an output's audio, as one text: an
    // output made with another is made again when it is brought up to date.
    QString encodingFingerprint() const;

    static ConversionSettings fromSettings(const Settings& settings);
    // The quality's part of the fingerprint.
    QString qualityFingerprint() const;
    // The setting "Conversions simultanées": 0 means one per core.
    static int resolveJobs(qint64 setting);
};
