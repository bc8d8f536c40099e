#pragma once

#include <QString>

// A queued file that is one track of a disc image: the image is its source,
// and this says which of its samples are the track and which sheet said so.
struct ImageTrack {
    // The number of the one row of an image whose sheet cannot be used: its
    // name says why, and it is never converted.
    static constexpr int kUnusableSheet = -1;

    // 0 for a hidden track before track 1.
    int number = 0;
    qint64 firstSample = 0;
    // One past the track's last sample.
    qint64 endSample = 0;
    // The name its output takes when none was typed ("02 - So What").
    QString name;
    // The .cue file; empty for a sheet the image carries.
    QString sheetPath;
    // The code page the sheet is read in, when the user chose it; empty: the
    // one found.
    QString sheetEncoding;

    bool isUnusableSheet() const { return number == kUnusableSheet; }
    bool operator==(const ImageTrack&) const = default;
};
