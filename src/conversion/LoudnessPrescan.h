#pragma once

#include "conversion/ReplayGainValues.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class LoudnessScan;
class QThreadPool;

// Measures the loudness of a pass's files before any of them is converted,
// when their album's gain is to scale their audio and so must be known
// first: each file is read with FFmpeg's decoders on a thread of the pool,
// and once all are measured each is given its track's and its album's
// values. Lives on the main thread.
class LoudnessPrescan : public QObject {
    Q_OBJECT
public:
    struct Item {
        QString path;
        // A disc image's track: its samples, the end excluded; 0 for all.
        qint64 firstSample = 0;
        qint64 endSample = 0;
        // The files with the same key are one album (see AlbumLoudness).
        QString albumKey;
    };

    explicit LoudnessPrescan(QThreadPool& pool, QObject* parent = nullptr);
    ~LoudnessPrescan() override;

    // Measures the items; finished() tells the values, in the same order.
    void start(const QList<Item>& items);
    // Stops without telling: the measures under way end on their threads.
    void cancel();
    bool isRunning() const { return m_pending > 0; }

signals:
    void finished(const QList<ReplayGainValues>& values);

private:
    void measured(int index, std::shared_ptr<const LoudnessScan> scan);
    QList<ReplayGainValues> valuesByAlbum() const;

    QThreadPool& m_pool;
    QList<Item> m_items;
    QList<std::shared_ptr<const LoudnessScan>> m_scans;
    int m_pending = 0;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
