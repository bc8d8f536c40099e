#pragma once

#include <QString>

// A file or folder opened with the application from the desktop or the
// command line.
class DocumentFLAC {
public:
    // The path with its symbolic links resolved; empty for a path that
    // names nothing.
    static QString resolve(const QString& path);
};
