#pragma once

#include <QString>

// File-system operations that report why they failed.
class FileManager {
public:
    // Whether something exists at the path (a dangling link counts as nothing).
    static bool fileExists(const QString& path, bool* isDirectory = nullptr);
    // Makes the folder and its missing parents. Succeeds when a folder is
    // already there; fails when a file stands in the way.
    static bool createDirectory(const QString& path, QString* error = nullptr);
    // Makes sure the path is a folder: creates it when nothing or a non-folder
    // is there.
    static bool ensureDirectory(const QString& path, QString* error = nullptr);
    static bool removeItem(const QString& path, QString* error = nullptr);
    static QString errorText(int errorNumber);
};
