#include "SelectionTagReader.h"

#include "model/CarriedTags.h"
#include "model/QueueStore.h"
#include "storage/CocoLite.h"
#include "storage/ThreadHandoff.h"

#include <QMetaObject>

SelectionTagReader::SelectionTagReader(QString databasePath, QObject* parent)
    : QObject(parent), m_databasePath(std::move(databasePath)),
      m_latest(std::make_shared<std::atomic<quint64>>(0)) {
    m_pool.setMaxThreadCount(1);
}

SelectionTagReader::~SelectionTagReader() {
    cancel();
    m_pool.waitForDone();
}

void SelectionTagReader::cancel() {
    ++*m_latest;
}

quint64 SelectionTagReader::read(const QList<FichierAudioPtr>& records) {
    QList<Item> items;
    items.reserve(records.size());
    for (const FichierAudioPtr& record : records) {
        items.append(record->sourceTagsStored() ? Item{record->sqliteid(), {}}
                                                : Item{0, record->sourceTags()});
    }
    const quint64 reading = ++*m_latest;
    ThreadHandoff::start(m_pool, [this, latest = m_latest, path = m_databasePath, items, reading] {
        bool stopped = false;
        const auto rows = work(path, items, *latest, reading, &stopped);
        if (stopped) {
            return;
        }
        // The reader waits for this thread before it goes; a call still
        // queued then is dropped with it.
        ThreadHandoff::handOver();
        QMetaObject::invokeMethod(
            this,
            [this, rows, reading] {
                ThreadHandoff::takeOver();
                if (*m_latest == reading) {
                    emit carriedTagsRead(reading, rows);
                }
            },
            Qt::QueuedConnection);
    });
    return reading;
}

QList<QPair<QString, QString>> SelectionTagReader::work(const QString& databasePath,
                                                        const QList<Item>& items,
                                                        const std::atomic<quint64>& latest,
                                                        quint64 reading, bool* stopped) {
    CocoLite connection(databasePath);
    CarriedTags carried;
    QList<quint32> afids;
    afids.reserve(items.size());
    for (const Item& item : items) {
        afids << item.afid;
    }
    QueueStore::forEachSourceTagSet(
        connection, afids, [&](qsizetype index, const TagList& comments) {
            if (latest != reading) {
                *stopped = true;
                return false;
            }
            carried.add(afids.at(index) != 0 ? comments : items.at(index).comments);
            return true;
        });
    if (*stopped) {
        return {};
    }
    return carried.rows();
}
