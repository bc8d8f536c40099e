#pragma once

#include "model/OutputCodec.h"
#include "model/TagList.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// Puts an output's tags into its container, each in the container's own way
// (see ContainerFields): MP4 atoms, ID3v2 frames and Vorbis comments are
// written with TagLib into the finished output; WAV's INFO list and CAF's
// info chunk are written by FFmpeg's muxers from the metadata keys given
// here. Runs on the export's thread; holds no state.
class OutputTagWriter {
public:
    // What an output states about its audio beside its tags, written in the
    // same save: the output gain of an Opus file's header (Q7.8 dB, which
    // every Opus decoder applies; none: left as it is) and iTunes's statement
    // of an MP4's delay, padding and length (empty: none, and an existing one
    // is kept).
    struct AudioStatement {
        std::optional<int> opusOutputGain;
        QString itunesGapless;
    };

    // The metadata keys and values the muxer writes itself; none for the
    // containers that TagLib writes.
    static QList<QPair<QString, QString>> muxerTags(const OutputCodec& codec, const TagList& tags);
    // Writes the tags into a finished output; false, with the reason, when
    // the file cannot be read or saved.
    // ID3 tags are written in version 2.4, or 2.3 for players that read no
    // other: several values of a field joined with " / ", the frames 2.3
    // lacks as TXXX.
    static bool write(const QString& path, const OutputCodec& codec, const TagList& tags,
                      QString* error, int id3Version = 4, const AudioStatement& audio = {});
    // Whether an output's tags and cover can be replaced without encoding it
    // again: the containers TagLib writes.
    static bool canRewrite(const OutputCodec& codec);
    // Replaces every tag and the cover of an output (none: no cover), its
    // audio left as it is.
    static bool rewrite(const QString& path, const OutputCodec& codec, const TagList& tags,
                        const QByteArray& cover, const QString& coverMimeType, QString* error,
                        int id3Version = 4, const AudioStatement& audio = {});
    // The REPLAYGAIN_* and R128_* comments an output carries.
    static TagList loudnessTags(const QString& path);
};
