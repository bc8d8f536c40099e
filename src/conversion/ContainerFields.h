#pragma once

#include "model/OutputCodec.h"

#include <QString>

// Where each well-known source comment goes in each kind of container, read
// by the tag writer and the muxer's metadata alike. For a container, a null
// field means "any other name" (MP4 freeform atom, ID3 TXXX frame, nothing
// in WAV and CAF); an empty one means the comment is written as part of
// another (a total with its number).
struct ContainerFields {
    const char* comment;
    const char* mp4;
    const char* id3;
    const char* riffInfo;
    const char* cafInfo;

    // The field for that kind of container; Vorbis comments keep every name.
    const char* fieldFor(OutputCodec::Tags kind) const;
    // Null for a name that is not a well-known one.
    static const ContainerFields* find(const QString& comment);
    // The names a track or disc number's total may have.
    static const QStringList& trackTotalNames();
    static const QStringList& discTotalNames();
};
