#include "ImageTrackLayout.h"

qint64 ImageTrackLayout::sampleAt(qint64 frames, int sampleRate) {
    // Exact in integers: 588 samples a frame at 44.1 kHz.
    return frames * qint64(sampleRate) / CueSheet::kFramesPerSecond;
}

bool ImageTrackLayout::fail(const QString& why, int line) {
    ranges.clear();
    error = why;
    errorLine = line;
    return false;
}

ImageTrackLayout ImageTrackLayout::of(const CueSheet& sheet, const QHash<QString, Audio>& audio,
                                      bool pregapsWithTheirTracks) {
    ImageTrackLayout layout;
    if (!sheet.isValid()) {
        layout.fail(sheet.error, sheet.errorLine);
        return layout;
    }
    const QList<CueSheet::Track>& tracks = sheet.tracks;
    for (qsizetype index = 0; index < tracks.size(); ++index) {
        const CueSheet::Track& track = tracks.at(index);
        const auto found = audio.constFind(track.file);
        if (found == audio.constEnd() || found->sampleRate <= 0) {
            layout.fail(QStringLiteral("fichier %1 introuvable").arg(track.file), track.line);
            return layout;
        }
        const Audio& file = *found;
        const bool firstOfFile = index == 0 || tracks.at(index - 1).file != track.file;
        const CueSheet::Track* next =
            index + 1 < tracks.size() && tracks.at(index + 1).file == track.file
                ? &tracks.at(index + 1)
                : nullptr;
        qint64 first = sampleAt(track.start, file.sampleRate);
        if (pregapsWithTheirTracks && track.pregapStart >= 0) {
            first = sampleAt(track.pregapStart, file.sampleRate);
        }
        qint64 end = file.totalSamples;
        if (next != nullptr) {
            const bool nextPregapHere = !pregapsWithTheirTracks || next->pregapStart < 0;
            end = sampleAt(nextPregapHere ? next->start : next->pregapStart, file.sampleRate);
        }
        if (sampleAt(track.start, file.sampleRate) >= file.totalSamples ||
            (next != nullptr && sampleAt(next->start, file.sampleRate) >= file.totalSamples)) {
            // The track whose time is past the end is the one at fault.
            const CueSheet::Track& late =
                sampleAt(track.start, file.sampleRate) >= file.totalSamples ? track : *next;
            layout.fail(QStringLiteral("la piste %1 commence après la fin de %2")
                            .arg(late.number)
                            .arg(track.file),
                        late.line);
            return layout;
        }
        if (index == 0) {
            // Audio before track 1's INDEX 01 (its pregap, whichever way
            // pregaps go): a hidden track when it is long enough to be one.
            const qint64 indexOne = sampleAt(track.start, file.sampleRate);
            first = 0;
            if (indexOne * 1000 / file.sampleRate > kHiddenTrackMinimumMs) {
                layout.ranges << Range{0, track.file, 0, indexOne, 0};
                first = indexOne;
            }
        } else if (firstOfFile) {
            // What comes before a side's first track is part of it.
            first = 0;
        }
        layout.ranges << Range{track.number, track.file, first, end, track.line};
    }
    return layout;
}
