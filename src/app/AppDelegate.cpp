#include "AppDelegate.h"

#include "app/DesktopNotifier.h"
#include "app/DocumentFLAC.h"
#include "app/RegisteredDefaults.h"
#include "cli/BatchRunFolder.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/DatabaseFile.h"
#include "storage/FileManager.h"
#include "storage/Log.h"
#include "ui/MainWindow.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrReglage.h"

#include <QAction>
#include <QSplitter>
#include <QStandardPaths>

AppDelegate::AppDelegate(MainWindow* window, QObject* parent) : QObject(parent), m_window(window) {
    if (window != nullptr) {
        connect(window->deleteAction(), &QAction::triggered, this, &AppDelegate::deleteItem);
        // A pass that ends while the user is elsewhere says so on the desktop.
        connect(window->reglage(), &VueCtrlrReglage::passEnded, this,
                [window](int converted, int failed) {
                    if (!window->isActiveWindow()) {
                        DesktopNotifier::notifyPassEnded(converted, failed);
                    }
                });
    }
}

AppDelegate::~AppDelegate() = default;

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

VueCtrlrFilez* AppDelegate::vueCtrlrFilez() const {
    if (!m_vueFilez && m_window) {
        m_vueFilez = qobject_cast<VueCtrlrFilez*>(m_window->splitView()->widget(1));
    }
    return m_vueFilez;
}

VueCtrlrReglage* AppDelegate::vueCtrlrReglage() const {
    if (!m_vueReglage && m_window) {
        m_vueReglage = qobject_cast<VueCtrlrReglage*>(m_window->splitView()->widget(0));
    }
    return m_vueReglage;
}

QueueObserver* AppDelegate::queueObserver() const {
    return vueCtrlrReglage();
}

MessageSink* AppDelegate::messageSink() const {
    return vueCtrlrReglage();
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

QString AppDelegate::setAsideUnreadableDatabase() {
    // A file SQLite cannot read would end every start: it is kept aside and
    // the queue starts empty.
    const QString path = databasePath();
    if (!DatabaseFile::isNotADatabase(path)) {
        return QString();
    }
    const QString moved = DatabaseFile::moveAside(path);
    const QString notice =
        moved.isEmpty() ? QStringLiteral("Base de données illisible : %1").arg(path)
                        : QStringLiteral("Base de données illisible, mise de côté : %1").arg(moved);
    Log::write(notice);
    return notice;
}

void AppDelegate::applicationDidFinishLaunching() {
    lookUpViews();
    prepareDataFolder();
    const QString notice = setAsideUnreadableDatabase();
    startUp(databasePath());
    // What a killed batch run left beside the music goes too.
    BatchRunFolder::removeDeadRuns();
    if (VueCtrlrFilez* list = vueCtrlrFilez()) {
        list->restoreSort();
        list->raffraichirTableau();
    }
    if (!notice.isEmpty() && vueCtrlrReglage() != nullptr) {
        vueCtrlrReglage()->echoUserMessage(notice);
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
    // Files opened from the desktop, the command line or a second instance
    // take the window's own add path.
    if (VueCtrlrFilez* list = vueCtrlrFilez()) {
        list->ajouterFichiersDossiers({path});
        return;
    }
    if (isDirectory) {
        pileFichiers()->ajouterUnDossier(path);
    } else {
        pileFichiers()->ajouterUnFichier(path);
    }
}

void AppDelegate::deleteItem() {
    // The delete key removes the selected files, never the whole list.
    VueCtrlrFilez* list = vueCtrlrFilez();
    if (list != nullptr && !list->selectedRows().isEmpty()) {
        list->effacerLaSelection();
    }
}
