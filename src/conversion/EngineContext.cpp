#include "EngineContext.h"

#include "conversion/ConversionControleur.h"
#include "conversion/FileAdder.h"
#include "conversion/FlacTagReader.h"
#include "conversion/PublishingJournal.h"
#include "conversion/WorkFolder.h"
#include "model/FichierAudio.h"
#include "model/MetadataDictionary.h"
#include "model/PersistentURL.h"
#include "model/SourceTagTable.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/CocoLite.h"
#include "storage/Log.h"
#include "storage/UserDefaults.h"

#include <QFile>

EngineContext::EngineContext()
    : m_tools(ExternalTools::found()), m_settings(&UserDefaults::standard()) {
    ModelContext::setCurrent(this);
}

MetadataReader* EngineContext::metadataReader() const {
    return m_tagReader.get();
}

EngineContext::~EngineContext() {
    // The controller first: it stops every job under way.
    m_controleur.reset();
    m_fileAdder.reset();
    m_tagReader.reset();
    m_pileFichiers.reset();
    m_database.reset();
}

void EngineContext::startUp(const QString& databasePath) {
    createDatabase(databasePath);
    createControleur();
    createTables();
    runPragmas();
    logSqliteVersion();
    createQueue();
}

void EngineContext::createDatabase(const QString& databasePath) {
    m_database = std::make_unique<CocoLite>(databasePath);
}

void EngineContext::createControleur() {
    m_pileFichiers = std::make_unique<GestionnairePileFichier>(queueObserver());
    m_tagReader = std::make_unique<FlacTagReader>(
        m_tools.metaflac, m_pictureFolder.isEmpty() ? WorkFolder::pictures() : m_pictureFolder,
        messageSink());
    m_controleur = std::make_unique<ConversionControleur>(m_pileFichiers.get(), m_database.get(),
                                                          m_settings, messageSink(), m_tools);
    m_fileAdder = std::make_unique<FileAdder>(m_pileFichiers.get(), m_database.get(),
                                              m_tagReader.get(), messageSink());
}

void EngineContext::createTables() {
    m_database->inputDBrequest(PersistentURL::sqliteCreationRequete());
    m_database->inputDBrequest(FichierAudio::sqliteCreationRequete());
    m_database->inputDBrequest(MetadataDictionary::sqliteCreationRequete());
    m_database->inputDBrequest(FichierAudio::failureTableCreationRequete());
    m_database->inputDBrequest(FichierAudio::rootTableCreationRequete());
    m_database->inputDBrequest(SourceTagTable::creationRequete());
    m_database->inputDBrequest(PublishingJournal::creationRequete());
    PublishingJournal::migrate(*m_database);
    // Looking a source's record up and finding the images near a file would
    // otherwise read whole tables, once per file of a large queue.
    m_database->inputDBrequest(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS `audioFile_inaudiourl` ON `audioFile` (`inaudiourl`)"));
    m_database->inputDBrequest(
        QStringLiteral("CREATE INDEX IF NOT EXISTS `fileURL_ftype` ON `fileURL` (`ftype`)"));
}

void EngineContext::runPragmas() {
    m_database->inputDBrequest(QStringLiteral("PRAGMA user_version=3;"));
    m_database->inputDBrequest(QStringLiteral("PRAGMA encoding = 'UTF-8'; "));
    // Every statement is its own transaction: with a write-ahead log they no
    // longer wait for the disk one by one (adding files is 16 times faster),
    // and a crash of the program still loses nothing.
    m_database->outputDBrequest(QStringLiteral("PRAGMA journal_mode=WAL;"));
    m_database->inputDBrequest(QStringLiteral("PRAGMA synchronous=NORMAL;"));
}

void EngineContext::logSqliteVersion() {
    const QList<QVariantMap> rows =
        m_database->outputDBrequest(QStringLiteral("SELECT sqlite_version() AS version;"));
    const QString version =
        rows.isEmpty() ? QString() : rows.last().value(QStringLiteral("version")).toString();
    Log::write(QStringLiteral("sqlite version : %1").arg(version));
}

void EngineContext::createQueue() {
    m_pileFichiers->loadFromSqlite();
    removeLeftovers();
}

void EngineContext::finishInterruptedRenames() {
    m_controleur->settlePendingPublications();
}

void EngineContext::removeLeftovers() {
    // A conversion that was interrupted (the program killed, the machine
    // stopped) leaves its decoded audio, its partial output and its lock
    // beside the destination: the journal in its work folder names them.
    WorkFolder::removeDeadOnes();
    finishInterruptedRenames();
    for (const FichierAudioPtr& record : m_pileFichiers->fichiersAudio()) {
        if (!record->elementURL()) {
            continue;
        }
        record->supprimerTempFile();
        // What a version whose partial outputs were named after their
        // destination left.
        const PersistentURLPtr destination = record->destinationURL();
        if (!destination) {
            continue;
        }
        const QString partial = PublishingJournal::legacyPartialPath(destination->path());
        if (QFile::exists(partial)) {
            QFile::remove(partial);
        }
    }
}
