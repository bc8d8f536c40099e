#include "LoudnessPrescan.h"

#include "conversion/LoudnessScan.h"
#include "storage/Log.h"
#include "storage/ThreadHandoff.h"

#include <QCoreApplication>

LoudnessPrescan::LoudnessPrescan(QThreadPool& pool, QObject* parent)
    : QObject(parent), m_pool(pool) {}

LoudnessPrescan::~LoudnessPrescan() {
    cancel();
}

void LoudnessPrescan::start(const QList<Item>& items) {
    cancel();
    m_items = items;
    m_scans = QList<std::shared_ptr<const LoudnessScan>>(items.size());
    m_pending = int(items.size());
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    if (items.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { emit finished({}); }, Qt::QueuedConnection);
        return;
    }
    for (int index = 0; index < items.size(); ++index) {
        ThreadHandoff::start(m_pool, [this, index, item = items[index], cancelled = m_cancelled,
                                      alive = std::weak_ptr<int>(m_alive)] {
            QString error;
            std::shared_ptr<const LoudnessScan> scan = LoudnessScan::scanFile(
                item.path, item.firstSample, item.endSample, *cancelled, &error);
            if (!scan && !cancelled->load()) {
                Log::write(QStringLiteral("Volume de %1 non mesuré : %2").arg(item.path, error));
            }
            ThreadHandoff::handOver();
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [this, index, scan, cancelled, alive] {
                    ThreadHandoff::takeOver();
                    if (!alive.expired() && !cancelled->load()) {
                        measured(index, scan);
                    }
                },
                Qt::QueuedConnection);
        });
    }
}

void LoudnessPrescan::cancel() {
    if (m_cancelled) {
        m_cancelled->store(true);
    }
    m_pending = 0;
}

void LoudnessPrescan::measured(int index, std::shared_ptr<const LoudnessScan> scan) {
    m_scans[index] = std::move(scan);
    if (--m_pending == 0) {
        emit finished(m_scans);
    }
}
