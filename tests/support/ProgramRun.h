#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs the real program, as an ordinary user: when the tests run as root,
// the program runs as "nobody", so that file permissions hold for it.
class ProgramRun {
public:
    struct Result {
        int exitCode = -1;
        bool crashed = false;
        QString output;
        QString errors;
    };

    static bool dropsPrivileges();
    // Makes a folder (and the test's root above it) usable by that user.
    static void shareFolder(const QString& path);
    // With a file size limit, writing past it fails as on a full disk.
    static Result run(const QStringList& arguments, const QProcessEnvironment& environment,
                      int timeoutMs = 600000, qint64 fileSizeLimit = 0);
    // The environment of a run: its own home, no display.
    static QProcessEnvironment environment(const QString& home);
};
