#pragma once

#include <QString>

#include <memory>

class QTemporaryDir;

// The private folder of one `tonebridge --convert` run: its queue database
// and the list of the temporary files the run makes beside the music (the
// decoded audio, the partial outputs, the exported pictures). Its name
// carries the run's process id, so that a later run, of either mode, can
// tell a folder left by a run that was killed and remove what it left.
// Lives on the main thread.
class BatchRunFolder {
public:
    BatchRunFolder();
    ~BatchRunFolder();
    BatchRunFolder(const BatchRunFolder&) = delete;
    BatchRunFolder& operator=(const BatchRunFolder&) = delete;

    bool isValid() const;
    QString databasePath() const;
    QString journalPath() const;
    // The pictures exported from the run's sources.
    QString picturesPath() const;

    // Removes the folders of runs whose process is gone, with every
    // temporary file their journals name; answers how many it removed.
    static int removeDeadRuns();
    static QString namePrefix();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};
