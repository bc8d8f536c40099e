#pragma once

#include "conversion/CueSheet.h"
#include "conversion/CueSheetText.h"

#include <QString>

// Finds the sheets and images that go together: the FLAC file a sheet's
// FILE line names (rip logs often name "Album.wav" for the "Album.flac"
// that was made of it), and the sheet beside a FLAC file that names it.
// Looks at the disk: any thread but the window's.
class CueSheetFinder {
public:
    // The sheet file's text and what it says.
    struct Found {
        CueSheetText text;
        CueSheet sheet;
    };
    // Read in that encoding when one is named, else in the one found.
    static Found read(const QString& cuePath, const QString& encoding = QString());
    // The FLAC file a FILE line of the sheet at that path names: the file
    // itself when it is one, else the FLAC file of the same base name beside
    // it; empty when there is none.
    static QString audioFor(const QString& cuePath, const QString& named);
    // The sheet beside the FLAC file that names it; empty when there is none.
    static QString sheetBeside(const QString& flacPath);
};
