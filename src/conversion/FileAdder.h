#pragma once

#include "model/ModelContext.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <memory>

class FlacTagReader;
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
    FileAdder(GestionnairePileFichier* queue, const FlacTagReader* reader, MessageSink* sink,
              QObject* parent = nullptr);
    ~FileAdder() override;

    void add(const QStringList& paths);
    // Stops the addition after the files already read.
    void cancel();
    bool isBusy() const { return m_busy; }
    // Runs the event loop until the addition has ended.
    void waitUntilDone();

signals:
    // Files joined the list (a batch of them).
    void filesAdded();
    // An item of a folder was not added, and why.
    void refused(const QString& path, const QString& reason);
    void progress(int done, int total);
    void finished();

private:
    struct Item {
        QString path;
        QString root;
        bool flac = false;
        // For a FLAC file: its canonical path; empty when it is no file.
        QString canonical;
        // Why an item cannot be added; empty when it can.
        QString refusal;
    };
    // What the paths hold, folders listed; any thread.
    static QList<Item> plan(const QStringList& paths);
    void start();
    void planned(quint64 run, const QList<Item>& items);
    void delivered(quint64 run, int index, const SourceReading& reading);
    void flush();
    void refuse(const Item& item);
    void finish();

    GestionnairePileFichier* m_queue;
    const FlacTagReader* m_reader;
    MessageSink* m_sink;
    QThreadPool m_pool;
    QTimer m_flushTimer;
    QStringList m_pending;
    QList<Item> m_items;
    QHash<int, SourceReading> m_readings;
    int m_next = 0;
    bool m_busy = false;
    quint64 m_run = 0;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};
