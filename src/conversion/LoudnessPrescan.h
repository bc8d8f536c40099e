#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class LoudnessScan;
class QThreadPool;

// Measures the loudness of files apart from their conversion: a pass's
// files before any is converted, when their album's gain is to scale their
// audio and must be known first, or the files of an album that a pass found
// up to date once another of its files has changed. Each file is read with
// FFmpeg's decoders on a thread of the pool. Lives on the main thread.
class LoudnessPrescan : public QObject {
    Q_OBJECT
public:
    struct Item {
        QString path;
        // A disc image's track: its samples, the end excluded; 0 for all.
        qint64 firstSample = 0;
        qint64 endSample = 0;
    };

    explicit LoudnessPrescan(QThreadPool& pool, QObject* parent = nullptr);
    ~LoudnessPrescan() override;

    // Measures the items; finished() tells the measures in the same order,
    // null for a file that could not be read.
    void start(const QList<Item>& items);
    // Stops without telling: the measures under way end on their threads.
    void cancel();
    bool isRunning() const { return m_pending > 0; }

signals:
    void finished(const QList<std::shared_ptr<const LoudnessScan>>& scans);

private:
    void measured(int index, std::shared_ptr<const LoudnessScan> scan);

    QThreadPool& m_pool;
    QList<Item> m_items;
    QList<std::shared_ptr<const LoudnessScan>> m_scans;
    int m_pending = 0;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
