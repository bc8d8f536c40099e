#pragma once

#include "conversion/ConversionContext.h"

#include <memory>

class CocoLite;
class ConversionControleur;
class GestionnairePileFichier;

// The application context without its windows: the database, the
// controller with its decoder, and the queue, made by the start-up steps in
// their order. The desktop application adds its views; the batch mode and
// the tests use it as it is.
class EngineContext : public ConversionContext {
public:
    EngineContext();
    ~EngineContext() override;

    // Every start-up step below, in order, over the database file at that path.
    void startUp(const QString& databasePath);

    void createDatabase(const QString& databasePath);
    void createControleur();
    void createTables();
    void runPragmas();
    void logSqliteVersion();
    void createQueue();
    void removeLeftovers();

    CocoLite* database() const override { return m_database.get(); }
    GestionnairePileFichier* pileFichiers() const override { return m_pileFichiers.get(); }
    ConversionControleur* controleur() const override { return m_controleur.get(); }
    QueueObserver* queueObserver() const override { return m_queueObserver; }
    MessageSink* messageSink() const override { return m_messageSink; }

    void setQueueObserver(QueueObserver* observer) { m_queueObserver = observer; }
    void setMessageSink(MessageSink* sink) { m_messageSink = sink; }

private:
    std::unique_ptr<CocoLite> m_database;
    std::unique_ptr<GestionnairePileFichier> m_pileFichiers;
    std::unique_ptr<ConversionControleur> m_controleur;
    QueueObserver* m_queueObserver = nullptr;
    MessageSink* m_messageSink = nullptr;
};
