#pragma once

#include <QString>

// The two FLAC programs: looked for beside the executable first (a bundle
// may ship them), then on PATH.
class ExternalTools {
public:
    // Where the two programs are; empty when one is nowhere.
    struct Paths {
        QString flac;
        QString metaflac;
    };
    static Paths found() { return {flacPath(), metaflacPath()}; }

    static QString flacPath();
    static QString metaflacPath();
    // The full path of the named program, empty when it is nowhere.
    static QString find(const QString& name);
};
