#pragma once

#include "model/OutputRecord.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <atomic>

// What keeps a converted copy of a library in step besides its outputs,
// once a pass is over: the pictures and booklets of each source folder
// copied beside its outputs when missing or changed, and the recorded
// outputs whose source is gone moved to the trash. It never writes over a
// file it did not write, never touches a file without a record and never
// leaves the destination folder. Runs on a thread of its own with value
// copies; the records it made or dropped go back to the main thread's store.
class LibraryMirror {
public:
    struct Work {
        // Nothing is done: each action is only said.
        bool dryRun = false;
        // Source folders and the output folders that mirror them.
        QList<QPair<QString, QString>> companionFolders;
        QStringList companionPatterns;
        // The companions recorded in those output folders.
        QList<OutputRecord> companionRecords;
        // Recorded outputs from sources under the pass's folders; those
        // whose source is gone go, when they lie in the destination folder.
        QList<OutputRecord> pruneCandidates;
        QString destinationFolder;
        // A cover.jpg for each of these output folders, from the cover of a
        // file converted into it, within this size (0: as it is).
        struct CoverFile {
            QString outputFolder;
            QString source;
            QByteArray cover;
        };
        QList<CoverFile> coverFiles;
        int coverMaxSide = 0;
    };
    struct Result {
        QList<OutputRecord> recorded;
        QStringList forgotten;
        // One line per action, for the user.
        QStringList lines;
        QStringList errors;
    };

    static Result run(const Work& work, const std::atomic<bool>* cancelled = nullptr);

private:
    // The companions recorded, by output path.
    using Recorded = QHash<QString, OutputRecord>;
    static void copyCompanions(const Work& work, const Recorded& recorded,
                               const QString& sourceFolder, const QString& outputFolder,
                               Result& result);
    static bool copyOne(const QString& source, const QString& target, bool replace, QString* error);
    static void writeCoverFile(const Work& work, const Recorded& recorded,
                               const Work::CoverFile& cover, Result& result);
    // Puts the bytes under the target's name through a hidden file of their
    // own: a new file never replaces one that appeared meanwhile.
    static bool place(const QByteArray& bytes, const QString& target, bool replace, QString* error);
    static OutputRecord recordOf(const QString& source, const QString& target);
    static void prune(const Work& work, const OutputRecord& record, Result& result);
    // Removes the folders the trashed output leaves empty, up to the
    // destination folder.
    static void removeEmptyFoldersAbove(const QString& path, const QString& destinationFolder);
};
