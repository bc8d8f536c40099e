#pragma once

#include <QString>

// What tells a file from another that later takes its name: its device and
// inode, its size and its modification time, read without following a link.
// A value; safe on any thread.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    bool regularFile = false;

    // An identity with no file behind it when the path names nothing.
    static FileIdentity of(const QString& path);
    // The file an open descriptor refers to.
    static FileIdentity ofDescriptor(int descriptor);

    bool exists() const { return size >= 0; }
    // The same file, unchanged since this identity was taken.
    bool sameFileAs(const FileIdentity& other) const;
};
