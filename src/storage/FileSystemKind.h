#pragma once

#include <QString>

// What kind of file system a folder is on, for the names it takes: FAT,
// exFAT, NTFS (in the kernel or through a FUSE block device) and SMB shares
// refuse : " < > | ? * \ and names that differ only by case are one file.
// Looks at the disk: any thread but the window's.
class FileSystemKind {
public:
    // The file system of the folder, or of its nearest existing parent.
    static bool takesOnlyPortableNames(const QString& folder);
    // From statfs's type and, for FUSE, the mount's type ("fuseblk").
    static bool isPortableOnly(qint64 type, const QString& fuseType);

private:
    static QString fuseTypeOf(const QString& path);
};
