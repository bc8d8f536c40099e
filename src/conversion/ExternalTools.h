#pragma once

#include <QString>

// The two FLAC programs: looked for beside the executable first (a bundle
// may ship them), then on PATH.
class ExternalTools {
public:
    static QString flacPath();
    static QString metaflacPath();
    // The full path of the named program, empty when it is nowhere.
    static QString find(const QString& name);
};
