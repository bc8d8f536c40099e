#pragma once

#include "storage/FileIdentity.h"

#include <QList>
#include <QPair>
#include <QString>

// Deletes a disc image, and its cue sheet, once its tracks are converted:
// only when the tracks converted cover every sample of the image, and only
// if the image is still the very file each of them was converted from (its
// outputs being on the disk already). Looks at the disk: any thread but the
// window's. Holds no state.
class DiscImageDeletion {
public:
    struct Converted {
        // The track's samples, from the first to before the end.
        qint64 firstSample = 0;
        qint64 endSample = 0;
        FileIdentity source;
    };

    // What was done, for the user; empty when the image is not whole yet.
    static QString deleteIfWhole(const QString& imagePath, const QString& sheetPath,
                                 QList<Converted> tracks);
};
