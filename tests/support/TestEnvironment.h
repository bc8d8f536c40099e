#pragma once

#include "QtPrinters.h"

#include <QString>

class Settings;
class UserDefaults;

// Every test process runs in a home folder of its own: HOME, the XDG folders
// and the runtime folder all point into a fresh temporary directory, so no
// test touches a real user's settings, queue or music.
class TestEnvironment {
public:
    // Creates the temporary home and points the environment at it.
    static void setUp();
    static void tearDown();
    static QString root();
    static QString home();
    // A new empty folder inside the temporary home.
    static QString makeFolder(const QString& name);
    // The hidden files a conversion leaves while it runs (partial outputs,
    // destination locks, decoded audio of old) found below the folder.
    static QStringList leftovers(const QString& root);
    // The test process's settings store and its typed settings, as a mode's
    // composition root makes them.
    static UserDefaults& defaults();
    static Settings& settings();
    // Writes the file, making its folders; answers its path.
    static QString writeFile(const QString& path, const QByteArray& content = "data");
};
