#pragma once

#include "model/ImageTrack.h"
#include "model/TagList.h"

#include <QList>

#include <QString>
#include <QStringList>
#include <QVariantMap>

// What was read of a FLAC source before its record is made: a value, made
// on any thread, handed to the main thread.
struct SourceReading {
    // False when the tags could not be read (error says why).
    bool read = false;
    QVariantMap values;
    // Every comment of the source, in its order.
    TagList comments;
    // The exported picture; empty when the source has none.
    QString picturePath;
    QString error;
    // Lines for the log (further values of a tag, tool messages).
    QStringList logLines;
    // For a disc image with a cue sheet: its tracks, each with the comments
    // it goes out with; none for a file queued whole.
    QList<ImageTrack> tracks;
    QList<TagList> trackComments;
};
