#pragma once

#include "model/ModelContext.h"

#include <QStringList>

#include <memory>

class CocoLite;

// A model context over a real database file in the test's home, with the
// application's tables; it records what folder listings hand to the queue.
class TestDatabase : public ModelContext, public QueueAccess {
public:
    TestDatabase();
    ~TestDatabase() override;

    CocoLite* database() const override { return m_database.get(); }
    QueueAccess* queueAccess() const override { return const_cast<TestDatabase*>(this); }
    MetadataReader* metadataReader() const override { return nullptr; }

    void ajouterUnFichier(const QString& path) override { received.append(path); }
    QList<std::shared_ptr<FichierAudio>> fichiersAudio() const override { return {}; }

    int count(const QString& table) const;

    QStringList received;

private:
    std::unique_ptr<CocoLite> m_database;
};
