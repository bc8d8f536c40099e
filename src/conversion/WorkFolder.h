#pragma once

#include <QString>

// The engine's private folders on local disk, under the user's cache folder:
// the decoded audio of the files being converted goes to a folder of this
// process (so a destination on a USB stick or a network share receives only
// the encoded output), and the pictures exported from sources to a shared
// one (so nothing is ever written into a source folder). Folders whose
// process is gone are a killed run's leftovers.
class WorkFolder {
public:
    // ~/.cache/Tonebridge
    static QString cacheRoot();
    // The folder of this process's decoded audio; made when first asked.
    static QString forThisProcess();
    // The journal of the temporaries this process makes beside the music.
    static QString journalForThisProcess();
    // Removes this process's folder once no file is decoded into it.
    static void removeForThisProcess();
    // Where pictures exported from queued sources are kept.
    static QString pictures();
    // Removes the folders of processes that are gone, with the temporaries
    // their journals name.
    static int removeDeadOnes();
    static bool processAlive(qint64 pid);
    // The process id a folder named "<prefix><pid>…" belongs to, 0 for none.
    static qint64 ownerOf(const QString& folderName, const QString& prefix);
};
