#pragma once

#include "conversion/EngineContext.h"
#include "ui/ViewsContext.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class MainWindow;
class VueCtrlrFilez;
class VueCtrlrReglage;

// The application context: at start-up it creates the data folder, the
// database, the controller and the queue, and it hands them, with the two
// main views, to everything else.
class AppDelegate : public QObject, public EngineContext, public ViewsContext {
    Q_OBJECT
public:
    explicit AppDelegate(MainWindow* window, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Registers the default settings; runs before anything reads one.
    static void initialize();

    void applicationDidFinishLaunching();

    void ajouterDossierOuFichier(const QString& path);
    // Paths opened from outside; those that arrive before start-up ended wait.
    void openPaths(const QStringList& paths);
    // The delete-item action of the menus.
    void deleteItem();

    QueueObserver* queueObserver() const override;
    MessageSink* messageSink() const override;
    VueCtrlrFilez* vueCtrlrFilez() const override;
    VueCtrlrReglage* vueCtrlrReglage() const override;
    GestionnairePileFichier* pileFichiers() const override { return EngineContext::pileFichiers(); }
    ConversionControleur* controleur() const override { return EngineContext::controleur(); }
    FileAdder* fileAdder() const override { return EngineContext::fileAdder(); }

    static QString dataFolderPath();
    static QString databasePath();

private:
    void lookUpViews();
    void prepareDataFolder();
    // Moves a database file SQLite cannot read aside; answers what to tell
    // the user, empty when the file was fine.
    QString setAsideUnreadableDatabase();

    QPointer<MainWindow> m_window;
    mutable QPointer<VueCtrlrFilez> m_vueFilez;
    mutable QPointer<VueCtrlrReglage> m_vueReglage;
    QStringList m_pendingPaths;
    bool m_launched = false;
};
