#pragma once

#include "conversion/ReplayGainValues.h"
#include "model/DestinationRules.h"
#include "model/OutputRecord.h"
#include "model/TagList.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// What one export is given: the decoded file, where the output goes, the
// codec and the conversions asked for, the tags and the cover.
struct ExportRequest {
    QString inputPath;
    QString destinationPath;
    QString codec;
    // Negative: keep the source's.
    qint64 sampleRate = -1;
    // Only lower: a source above these goes to the highest rate of its own
    // family within the first, and a lossless output to the second depth,
    // with dither; 0 for no limit.
    int maxSampleRate = 0;
    int maxBits = 0;
    qint64 channels = -1;
    // The source's own depth, when it is not a whole number of bytes (12,
    // 20 bits), for the containers that state it; 0 when unknown.
    int sourceBitsPerSample = 0;
    // The lossy encoder's quality ("V2", "256k", "q6"; see CodecQuality);
    // empty: the codec's default.
    QString quality;
    // The output's tags, named as the source's comments are.
    TagList tags;
    // The ID3v2 version of the containers that carry ID3: 4 or 3.
    int id3Version = 4;
    QByteArray coverData;
    QString coverMimeType;
    // A larger cover is scaled down to this many pixels on its longest side
    // as it is written (see CoverSizing); 0 keeps it as it is.
    int coverMaxSide = 0;
    // Where the ReplayGain values come from, and the gain that scales a
    // lossy output's audio.
    ReplayGainMode replayGain = ReplayGainMode::Copy;
    ApplyGain applyGain = ApplyGain::None;
    // Values measured beforehand (an album's, known at its end): written
    // instead of the source's or of a scan's.
    ReplayGainValues knownLoudness;
    // Only the existing output's tags are written again (with its album's
    // loudness, once known), never its audio.
    bool retagOnly = false;
    bool overwrite = false;
    // An existing output is checked against its record (see
    // ExportSession::Plan) instead of being an error.
    bool update = false;
    // What is stored of the destination's output; none when not recorded.
    OutputRecord record;
    // What goes into this output (see OutputFingerprint and
    // ConversionSettings::encodingFingerprint).
    QString tagsFingerprint;
    QString encodingFingerprint;
    // A disc image's track: its samples, from the first to before the end.
    qint64 firstSample = 0;
    qint64 endSample = 0;
    // Nothing is written: preparing says what would be done.
    bool dryRun = false;
    bool preserveModificationTime = false;
    QString sourcePath;
    // The source is deleted once its output is published, checked and on
    // the disk, if it is still the file that was converted.
    bool deleteSource = false;
    // The output is written to the disk as for a deleted source, the source
    // being kept (a track of a disc image that goes once all its tracks are).
    bool syncOutput = false;
    // Where the hidden temporaries made beside the destination are listed.
    QString temporaryJournal;
};
