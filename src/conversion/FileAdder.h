#pragma once

#include "model/SourceReading.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <memory>

class FlacTagReader;
class Settings;
class GestionnairePileFichier;
class MessageSink;

// The one way files and folders join the queue, for every way in (dialog,
// drop, path bar, command line, second instance, batch mode): folders are
// listed in natural order, tags and pictures are read on a pool of worker
// threads (one per core), and the records are made on the main thread in
// batches, in order, so the list grows as they arrive and the window never
// waits. Paths that arrive during an addition join it. Lives on the main
// thread; the folders are listed and the files read on the pool, and what
// they give comes back through queued calls.
class FileAdder : public QObject {
    Q_OBJECT
public:
    // With settings, an addition follows their choices for disc images
    // (split into tracks or not, where the gaps between tracks go).
    FileAdder(GestionnairePileFichier* queue, const FlacTagReader* reader, MessageSink* sink,
              QObject* parent = nullptr, const Settings* settings = nullptr);
    ~FileAdder() override;

    // What an addition did, told when it has ended.
    struct Summary {
        int added = 0;
        // FLAC files that were in the list already.
        int alreadyQueued = 0;
        // Items that could not be added (names that are not UTF-8).
        int refused = 0;
        bool cancelled = false;
    };

    // Adds the paths. With a limit, an addition that finds more FLAC files
    // than that asks first (confirmationNeeded) and waits for confirm().
    void add(const QStringList& paths, int confirmAbove = 0);
    // Answers confirmationNeeded: the addition goes on, or ends.
    void confirm(bool goOn);
    // Stops the addition at once: the listing, the readings (a metaflac
    // under way is killed); what was added stays.
    void cancel();
    bool isBusy() const { return m_busy; }
    // Runs the event loop until the addition has ended.
    void waitUntilDone();
    // What the last addition did.
    const Summary& summary() const { return m_summary; }
    // "2 562 fichiers ajoutés, 438 déjà dans la liste, ajout annulé"
    static QString describe(const Summary& summary);

signals:
    // Paths were given; joined: they join an addition under way.
    void adding(const QStringList& paths, bool joined);
    // Files joined the list (a batch of them).
    void filesAdded();
    // An item of a folder was not added, and why.
    void refused(const QString& path, const QString& reason);
    void progress(int done, int total);
    // The addition found this many FLAC files, more than its limit: it waits
    // for confirm().
    void confirmationNeeded(int flacFiles, const QStringList& paths);
    void finished();

private:
    struct Item {
        QString path;
        QString root;
        bool flac = false;
        // A picture, registered for the covers before any record is made.
        bool image = false;
        // For a FLAC file: its canonical path; empty when it is no file.
        QString canonical;
        // Why an item cannot be added; empty when it can.
        QString refusal;
        // A cue sheet whose audio cannot be found: queued as a row in error
        // saying why.
        QString inError = QString();
    };
    // What the paths hold, folders listed; any thread.
    static QList<Item> plan(const QStringList& paths, const std::atomic<bool>* stop);
    // A sheet given or found: its FLAC file's item, or a row in error when
    // its audio is nowhere; none for a sheet in a folder whose FLAC file the
    // folder's listing brings.
    static void planSheet(const QString& path, const QString& root, bool inFolder,
                          QList<Item>& items);
    void startReadings();
    void start();
    void planned(quint64 run, const QList<Item>& items);
    void delivered(quint64 run, int index, const SourceReading& reading);
    void registerPictures();
    void flush();
    void refuse(const Item& item);
    void finish();

    GestionnairePileFichier* m_queue;
    // Each batch of records is saved in one transaction of its own.
    const FlacTagReader* m_reader;
    const Settings* m_settings;
    MessageSink* m_sink;
    QThreadPool m_pool;
    QTimer m_flushTimer;
    QStringList m_pending;
    QList<Item> m_items;
    QHash<int, SourceReading> m_readings;
    int m_next = 0;
    bool m_busy = false;
    int m_confirmAbove = 0;
    bool m_waitingConfirmation = false;
    QStringList m_runPaths;
    Summary m_summary;
    quint64 m_run = 0;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};
