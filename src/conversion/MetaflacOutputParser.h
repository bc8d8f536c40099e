#pragma once

#include "model/TagList.h"

#include <QByteArray>
#include <QStringList>
#include <QVariantMap>

// Reads what `metaflac` prints for the stream facts and tags the decoder asks
// for: four stream lines, then one "NAME=value" line per tag value. Tags are
// stored by their own names in lower case, never by position; a line without
// "=" continues the value before it (a value with a line break).
class MetaflacOutputParser {
public:
    static const QStringList& streamNames();
    static const QStringList& tagNames();

    // The values by name, and the lines that were extra values of a tag seen
    // before (the last value wins).
    static QVariantMap parse(const QByteArray& output, QStringList* extraLines = nullptr);
    // The comments `metaflac --list --block-type=VORBIS_COMMENT` lists, in
    // order: "comment[n]: NAME=value", a value's further lines following.
    static TagList parseCommentListing(const QByteArray& output);
};
