#pragma once

#include "model/TagList.h"

class MetadataDictionary;

// The tags an output receives: every comment of its source, but for the
// fields the information view edits, where the user's value wins and a
// field the user emptied is left out.
class OutputTags {
public:
    static TagList merge(const TagList& source, const MetadataDictionary& input,
                         const MetadataDictionary& output);
    // Whether a comment name is one of the edited fields'.
    static bool isEditedName(const QString& name);
};
