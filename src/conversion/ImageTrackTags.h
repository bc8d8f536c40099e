#pragma once

#include "conversion/CueSheet.h"
#include "model/TagList.h"

// The comments a track of a disc image goes out with: the disc's fields
// (TITLE as the album, PERFORMER as the album artist and the artist unless
// the track has its own, the date, genre, disc numbers, catalog number and
// composer), the track's own (title, performer, songwriter as composer,
// ISRC), its number and the track count, over the image's own comments,
// which fill what the sheet lacks. What names the image as a whole (its
// title, its sheet, its track number) never reaches a track. A value; safe
// on any thread.
class ImageTrackTags {
public:
    static TagList forTrack(const CueSheet& sheet, const CueSheet::Track& track,
                            const TagList& imageComments, int trackCount);
};
