#pragma once

#include "conversion/ExternalTools.h"
#include "conversion/MessageRelay.h"

#include <QString>

#include <memory>

class CocoLite;
class ConversionControleur;
class FileAdder;
class FlacTagReader;
class GestionnairePileFichier;
class QueueStore;
class SelectionTagReader;
class Settings;

// What every mode of the application works with: the settings, the
// database and its store, the queue, the tag reader, the file adder and the
// controller. Made once by the composition root of each mode (the window,
// the terminal, a test) and handed by reference to whoever uses it. The
// engine's messages go out through messages(). The parts are made by
// open(); until then their accessors answer null. Lives on the main thread.
class Core {
public:
    Core(Settings& settings, ExternalTools::Paths tools, QString pictureFolder = QString());
    ~Core();
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // open() then loadQueue().
    void startUp(const QString& databasePath, const QString& recordsDatabasePath = QString());
    // Opens the database file at that path, brings its schema to this
    // version's and makes the parts, the queue empty. What each output was
    // made from is kept in the other file when one is given (a terminal
    // run's private queue keeps them in the user's database), else in this one.
    void open(const QString& databasePath, const QString& recordsDatabasePath = QString());
    // Loads the queue and removes what an interrupted conversion left.
    void loadQueue();

    Settings& settings() const { return m_settings; }
    MessageRelay& messages() { return m_messages; }
    CocoLite* database() const { return m_database.get(); }
    QueueStore* store() const { return m_store.get(); }
    // Where the records of outputs are kept.
    QueueStore* records() const { return m_recordStore ? m_recordStore.get() : m_store.get(); }
    GestionnairePileFichier* queue() const { return m_queue.get(); }
    FlacTagReader* tagReader() const { return m_tagReader.get(); }
    ConversionControleur* controleur() const { return m_controleur.get(); }
    // The one way files join the queue.
    FileAdder* fileAdder() const { return m_fileAdder.get(); }
    const ExternalTools::Paths& tools() const { return m_tools; }
    // Reads a large selection's comments off the main thread.
    SelectionTagReader* selectionTagReader() const { return m_selectionTags.get(); }

private:
    void makeParts();
    void removeLeftovers();

    Settings& m_settings;
    ExternalTools::Paths m_tools;
    QString m_pictureFolder;
    MessageRelay m_messages;
    std::unique_ptr<CocoLite> m_database;
    std::unique_ptr<QueueStore> m_store;
    std::unique_ptr<CocoLite> m_recordDatabase;
    std::unique_ptr<QueueStore> m_recordStore;
    std::unique_ptr<FlacTagReader> m_tagReader;
    std::unique_ptr<GestionnairePileFichier> m_queue;
    std::unique_ptr<ConversionControleur> m_controleur;
    std::unique_ptr<FileAdder> m_fileAdder;
    std::unique_ptr<SelectionTagReader> m_selectionTags;
};
