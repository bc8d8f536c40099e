#pragma once

#include <QString>
#include <QStringList>

// File-system operations that report why they failed. Safe on any thread.
class FileManager {
public:
    // Whether something exists at the path (a dangling link counts as nothing).
    static bool fileExists(const QString& path, bool* isDirectory = nullptr);
    // Makes the folder and its missing parents. Succeeds when a folder is
    // already there; fails when a file stands in the way. The folders it
    // made, outermost first, are added to created when given.
    static bool createDirectory(const QString& path, QString* error = nullptr,
                                QStringList* created = nullptr);
    // Makes sure the path is a folder: creates it when nothing or a non-folder
    // is there.
    static bool ensureDirectory(const QString& path, QString* error = nullptr,
                                QStringList* created = nullptr);
    // Removes a file or a link; never a folder, let alone what it holds.
    static bool removeItem(const QString& path, QString* error = nullptr);
    // Removes the folders that are empty, innermost first (the reverse of
    // the order createDirectory gives); a folder that holds anything stays.
    static void removeEmptyFolders(const QStringList& outermostFirst);
    // Writes a folder's entries (a rename, a link, a removal) to the disk.
    static bool syncFolder(const QString& folder, QString* error = nullptr);
    static QString errorText(int errorNumber);
};
