#pragma once

#include "conversion/ConversionContext.h"
#include "conversion/ExternalTools.h"

#include <memory>

class CocoLite;
class ConversionControleur;
class FileAdder;
class FlacTagReader;
class GestionnairePileFichier;
class UserDefaults;

// The application context without its windows: the database, the queue,
// the tag reader and the controller, made by the start-up steps in their
// order and wired with what their owner gives: where messages go, who hears
// of the queue's emptiness, the tools and the pictures folder. The desktop
// application adds its views; the batch mode and the tests use it as it is.
// Lives on the main thread.
class EngineContext : public ConversionContext {
public:
    EngineContext();
    ~EngineContext() override;

    // Every start-up step below, in order, over the database file at that path.
    void startUp(const QString& databasePath);

    void createDatabase(const QString& databasePath);
    // The queue (empty until loaded), the tag reader and the controller.
    void createControleur();
    void createTables();
    void runPragmas();
    void logSqliteVersion();
    // Loads the queue, then removes what an interrupted conversion left.
    void createQueue();
    void removeLeftovers();
    // Settles the outputs a crash caught while they were renamed into place.
    void finishInterruptedRenames();

    CocoLite* database() const override { return m_database.get(); }
    GestionnairePileFichier* pileFichiers() const override { return m_pileFichiers.get(); }
    ConversionControleur* controleur() const override { return m_controleur.get(); }
    QueueObserver* queueObserver() const override { return m_queueObserver; }
    MessageSink* messageSink() const override { return m_messageSink; }
    MetadataReader* metadataReader() const override;
    FlacTagReader* tagReader() const { return m_tagReader.get(); }
    // The one way files join the queue.
    FileAdder* fileAdder() const { return m_fileAdder.get(); }

    // Given before createControleur().
    void setQueueObserver(QueueObserver* observer) { m_queueObserver = observer; }
    void setMessageSink(MessageSink* sink) { m_messageSink = sink; }
    void setTools(const ExternalTools::Paths& tools) { m_tools = tools; }
    void setPictureFolder(const QString& folder) { m_pictureFolder = folder; }
    void setSettings(const UserDefaults* settings) { m_settings = settings; }

private:
    std::unique_ptr<CocoLite> m_database;
    std::unique_ptr<GestionnairePileFichier> m_pileFichiers;
    std::unique_ptr<FlacTagReader> m_tagReader;
    std::unique_ptr<ConversionControleur> m_controleur;
    std::unique_ptr<FileAdder> m_fileAdder;
    QueueObserver* m_queueObserver = nullptr;
    MessageSink* m_messageSink = nullptr;
    ExternalTools::Paths m_tools;
    QString m_pictureFolder;
    const UserDefaults* m_settings;
};
