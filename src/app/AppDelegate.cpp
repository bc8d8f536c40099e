#include "AppDelegate.h"

#include "app/DesktopNotifier.h"
#include "app/DocumentFLAC.h"
#include "cli/BatchRunFolder.h"
#include "conversion/FileAdder.h"
#include "storage/DatabaseFile.h"
#include "storage/FileManager.h"
#include "storage/Log.h"
#include "ui/MainWindow.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrReglage.h"

#include <QAction>
#include <QStandardPaths>

AppDelegate::AppDelegate(Settings& settings, QObject* parent)
    : QObject(parent), m_core(settings, ExternalTools::found()) {}

AppDelegate::~AppDelegate() {
    // The views go before the core they show.
    m_window.reset();
}

QString AppDelegate::dataFolderPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Tonebridge");
}

QString AppDelegate::databasePath() {
    return dataFolderPath() + QStringLiteral("/tonebridge.db");
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

void AppDelegate::buildWindow() {
    m_window = std::make_unique<MainWindow>(m_core);
    MainWindow* window = m_window.get();
    connect(window->deleteAction(), &QAction::triggered, this, &AppDelegate::deleteItem);
    // A pass that ends while the user is elsewhere says so on the desktop.
    connect(window->reglage(), &VueCtrlrReglage::passEnded, this,
            [window](int converted, int failed) {
                if (!window->isActiveWindow()) {
                    DesktopNotifier::notifyPassEnded(converted, failed);
                }
            });
    window->show();
}

void AppDelegate::applicationDidFinishLaunching() {
    prepareDataFolder();
    const QString notice = setAsideUnreadableDatabase();
    m_core.open(databasePath());
    buildWindow();
    m_core.loadQueue();
    // What a killed batch run left beside the music goes too.
    BatchRunFolder::removeDeadRuns();
    m_window->filez()->restoreSort();
    m_window->filez()->raffraichirTableau();
    if (!notice.isEmpty()) {
        m_window->reglage()->echoUserMessage(notice);
    }
    m_launched = true;
    openPaths(std::exchange(m_pendingPaths, {}));
}

void AppDelegate::openPaths(const QStringList& paths) {
    if (!m_launched) {
        m_pendingPaths += paths;
        return;
    }
    QStringList resolved;
    for (const QString& path : paths) {
        const QString document = DocumentFLAC::resolve(path);
        if (!document.isEmpty()) {
            resolved << document;
        }
    }
    // Files opened from the desktop, the command line or a second instance
    // take the window's own add path: the file adder, which the list follows.
    if (!resolved.isEmpty()) {
        m_core.fileAdder()->add(resolved);
    }
}

void AppDelegate::deleteItem() {
    // The delete key removes the selected files, never the whole list.
    VueCtrlrFilez* list = m_window != nullptr ? m_window->filez() : nullptr;
    if (list != nullptr && !list->selectedRows().isEmpty()) {
        list->effacerLaSelection();
    }
}
