#include "Core.h"

#include "conversion/ConversionControleur.h"
#include "conversion/FileAdder.h"
#include "conversion/FlacTagReader.h"
#include "conversion/PublishingJournal.h"
#include "conversion/SelectionTagReader.h"
#include "conversion/WorkFolder.h"
#include "model/QueueStore.h"
#include "model/Settings.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/CocoLite.h"
#include "storage/Log.h"

#include <QFile>

Core::Core(Settings& settings, ExternalTools::Paths tools, QString pictureFolder)
    : m_settings(settings), m_tools(std::move(tools)), m_pictureFolder(std::move(pictureFolder)) {}

Core::~Core() {
    // The controller first: it stops every job under way.
    m_controleur.reset();
    m_fileAdder.reset();
    m_queue.reset();
    m_tagReader.reset();
    m_store.reset();
    m_database.reset();
    m_recordStore.reset();
    m_recordDatabase.reset();
}

void Core::startUp(const QString& databasePath, const QString& recordsDatabasePath) {
    open(databasePath, recordsDatabasePath);
    loadQueue();
}

void Core::loadQueue() {
    m_queue->setDestinationRules(m_settings.destinationRules());
    m_queue->loadFromSqlite();
    removeLeftovers();
}

namespace {
std::unique_ptr<CocoLite> openDatabase(const QString& path) {
    auto database = std::make_unique<CocoLite>(path);
    database->inputDBrequest(QStringLiteral("PRAGMA encoding = 'UTF-8'"));
    // Every statement is its own transaction: with a write-ahead log they no
    // longer wait for the disk one by one (adding files is 16 times faster),
    // and a crash of the program still loses nothing.
    database->outputDBrequest(QStringLiteral("PRAGMA journal_mode=WAL"));
    database->inputDBrequest(QStringLiteral("PRAGMA synchronous=NORMAL"));
    return database;
}
} // namespace

void Core::open(const QString& databasePath, const QString& recordsDatabasePath) {
    m_database = openDatabase(databasePath);
    m_store = std::make_unique<QueueStore>(*m_database);
    m_store->migrate();
    if (!recordsDatabasePath.isEmpty() && recordsDatabasePath != databasePath) {
        m_recordDatabase = openDatabase(recordsDatabasePath);
        m_recordStore = std::make_unique<QueueStore>(*m_recordDatabase);
        m_recordStore->migrate();
    }
    Log::write(QStringLiteral("sqlite version : %1")
                   .arg(m_database->outputDBrequest(QStringLiteral("SELECT sqlite_version() AS v"))
                            .value(0)
                            .value(QStringLiteral("v"))
                            .toString()));
    makeParts();
    m_selectionTags = std::make_unique<SelectionTagReader>(databasePath);
}

void Core::makeParts() {
    m_tagReader = std::make_unique<FlacTagReader>(
        m_tools.metaflac, m_pictureFolder.isEmpty() ? WorkFolder::pictures() : m_pictureFolder,
        &m_messages);
    m_queue = std::make_unique<GestionnairePileFichier>(*m_store, m_tagReader.get());
    m_controleur = std::make_unique<ConversionControleur>(m_queue.get(), m_store.get(), &m_settings,
                                                          &m_messages, m_tools, nullptr, records());
    m_fileAdder = std::make_unique<FileAdder>(m_queue.get(), m_tagReader.get(), &m_messages,
                                              nullptr, &m_settings);
    // Files being read may take up the picture of a file that leaves.
    QObject::connect(m_fileAdder.get(), &FileAdder::adding, m_queue.get(),
                     [this] { m_queue->holdPictureRemoval(true); });
    QObject::connect(m_fileAdder.get(), &FileAdder::finished, m_queue.get(),
                     [this] { m_queue->holdPictureRemoval(false); });
}

void Core::removeLeftovers() {
    // A conversion that was interrupted (the program killed, the machine
    // stopped) leaves its decoded audio, its partial output and its lock
    // beside the destination: the journal in its work folder names them.
    WorkFolder::removeDeadOnes();
    // The outputs a crash caught while they were renamed into place.
    m_controleur->settlePendingPublications();
    // The rest, on the queue's removal thread: a destination may be on a
    // drive that stalls, and a library has 100,000 of them.
    QStringList leftovers;
    for (const FichierAudioPtr& record : m_queue->fichiersAudio()) {
        const PersistentURLPtr destination = record->destinationURL();
        if (!record->elementURL() || !destination) {
            continue;
        }
        leftovers << record->tempDestinationPath()
                  // What a version whose partial outputs were named after
                  // their destination left.
                  << PublishingJournal::legacyPartialPath(destination->path());
    }
    m_queue->removal().remove(leftovers);
    // Pictures that no queued file uses any more (the file was read again
    // and its picture changed).
    m_queue->removal().sweep(m_tagReader->pictureFolder(), FlacTagReader::picturePrefix(),
                             m_queue->picturesInUse());
}
