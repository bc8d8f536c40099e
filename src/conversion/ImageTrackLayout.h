#pragma once

#include "conversion/CueSheet.h"

#include <QHash>
#include <QList>
#include <QString>

// Where each track of a disc image lies, to the sample: track n runs from
// its INDEX 01 to the next track's INDEX 01 in the same file, the last one
// of a file to the file's end. CD frames are 1/75 s: 588 samples at
// 44.1 kHz, the exact time at other rates. A pregap (INDEX 00) ends the
// track before it, or starts its own track when pregaps go with their
// tracks. Audio before track 1 longer than 4 s is a hidden track 0; shorter,
// it starts track 1. A value; safe on any thread.
class ImageTrackLayout {
public:
    // What the layout needs to know of each audio file a sheet names.
    struct Audio {
        int sampleRate = 0;
        qint64 totalSamples = 0;
    };
    struct Range {
        // 0 for a hidden track.
        int number = 0;
        // The FILE line's name.
        QString file;
        qint64 firstSample = 0;
        // One past the last sample.
        qint64 endSample = 0;
        // The sheet's TRACK line (0 for a hidden track).
        int line = 0;
    };

    QList<Range> ranges;
    // Why the sheet does not fit the audio, and its line.
    QString error;
    int errorLine = 0;

    bool isValid() const { return error.isEmpty(); }
    // The sheet's tracks over the audio files it names, by name.
    static ImageTrackLayout of(const CueSheet& sheet, const QHash<QString, Audio>& audio,
                               bool pregapsWithTheirTracks);
    // Hidden audio before track 1 longer than this is a track of its own.
    static constexpr qint64 kHiddenTrackMinimumMs = 4000;

private:
    static qint64 sampleAt(qint64 frames, int sampleRate);
    bool fail(const QString& why, int line);
};
