#pragma once

#include <QString>

class AppDelegate;

// A file or folder opened with the application from the desktop or the
// command line.
class DocumentFLAC {
public:
    // Resolves symbolic links and hands the path to the application; never fails.
    static bool readFromURL(AppDelegate* delegate, const QString& path);
};
