#pragma once

#include "queue/GestionnairePileFichier.h"
#include "queue/QueueContext.h"
#include "storage/CocoLite.h"

#include <QList>

#include <memory>

// The application context over a real database file in the test's home,
// with the application's tables and a real queue. It keeps the emptiness
// notices the queue sends.
class TestDatabase : public QueueContext, public QueueObserver {
public:
    explicit TestDatabase(const QString& fileName = QStringLiteral("test.db"));
    ~TestDatabase() override;

    CocoLite* database() const override { return m_database.get(); }
    MetadataReader* metadataReader() const override { return nullptr; }
    GestionnairePileFichier* pileFichiers() const override { return m_queue.get(); }
    QueueObserver* queueObserver() const override { return const_cast<TestDatabase*>(this); }

    void laListeContientDesFichiers(bool contientDesFichiers) override {
        notices.append(contientDesFichiers);
    }

    int count(const QString& table) const;
    GestionnairePileFichier& queue() { return *m_queue; }

    QList<bool> notices;

private:
    std::unique_ptr<CocoLite> m_database;
    std::unique_ptr<GestionnairePileFichier> m_queue;
};
