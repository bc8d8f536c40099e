#pragma once

#include "model/FichierAudio.h"
#include "model/TagList.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <memory>

// Works out the comments a large selection carries into its outputs (see
// CarriedTags) on a thread of its own, over a connection of its own to the
// queue's database, so that selecting a whole library never makes the
// window wait and no file's comments are kept. Lives on the main thread:
// each reading gets the selection's row identifiers (and the comments of
// files not stored yet) by value, and its answer comes back through a
// queued signal. A newer reading makes the older ones stop and stay unsaid.
class SelectionTagReader : public QObject {
    Q_OBJECT
public:
    explicit SelectionTagReader(QString databasePath, QObject* parent = nullptr);
    ~SelectionTagReader() override;

    // Starts a reading over the records, in their order; answers its number.
    quint64 read(const QList<FichierAudioPtr>& records);
    // Makes every reading under way stop unsaid.
    void cancel();

signals:
    void carriedTagsRead(quint64 reading, const QList<QPair<QString, QString>>& rows);

private:
    // A file of the selection: its row, or its comments when it has none.
    struct Item {
        quint32 afid = 0;
        TagList comments;
    };
    static QList<QPair<QString, QString>> work(const QString& databasePath,
                                               const QList<Item>& items,
                                               const std::atomic<quint64>& latest, quint64 reading,
                                               bool* stopped);

    QString m_databasePath;
    std::shared_ptr<std::atomic<quint64>> m_latest;
    QThreadPool m_pool;
};
