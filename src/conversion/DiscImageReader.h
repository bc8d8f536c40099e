#pragma once

#include "model/SourceReading.h"

#include <QString>

#include <atomic>

// Finds whether a FLAC file being added is a disc image with a cue sheet (a
// .cue beside it that names it, or a sheet it carries) and reads its tracks
// into what was read of it: their samples, names and comments. A sheet
// that does not fit the audio leaves the file whole and says why in the
// log lines. Runs on the adder's threads.
class DiscImageReader {
public:
    // Stops as soon as it is cancelled. A pregap goes to the end of the
    // track before, or with its own track. A sheet that cannot be used
    // (times past the audio, going backwards, no track) gives one track
    // numbered kUnusableSheet, named with the reason.
    static void readTracks(const QString& flacPath, const QString& metaflacPath,
                           SourceReading& reading, bool pregapsWithTheirTracks = false,
                           const std::atomic<bool>* cancelled = nullptr,
                           const QString& sheetEncoding = QString());
    // Whether the file's metadata holds a CUESHEET block.
    static bool hasCueSheetBlock(const QString& flacPath);
};
