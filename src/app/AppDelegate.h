#pragma once

#include "queue/QueueContext.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class CocoLite;
class MainWindow;
class VueCtrlrFilez;
class VueCtrlrReglage;

// The application context: creates the database, the queue and the
// controller at start-up and hands them, with the two main views, to
// everything else.
class AppDelegate : public QObject, public QueueContext {
    Q_OBJECT
public:
    explicit AppDelegate(MainWindow* window, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Registers the default settings; runs before anything reads one.
    static void initialize();

    void applicationDidFinishLaunching();
    bool hasFinishedLaunching() const { return m_launched; }

    void ajouterDossierOuFichier(const QString& path);
    // Paths opened from outside before start-up ended wait here.
    void openPaths(const QStringList& paths);

    CocoLite* database() const override { return m_database.get(); }
    MetadataReader* metadataReader() const override { return nullptr; }
    GestionnairePileFichier* pileFichiers() const override { return m_pileFichiers.get(); }
    QueueObserver* queueObserver() const override;
    VueCtrlrFilez* vueCtrlrFilez();
    VueCtrlrReglage* vueCtrlrReglage();

    static QString dataFolderPath();
    static QString databasePath();

private:
    void lookUpViews();
    void prepareDataFolder();
    void createTables();

    QPointer<MainWindow> m_window;
    QPointer<VueCtrlrFilez> m_vueFilez;
    QPointer<VueCtrlrReglage> m_vueReglage;
    std::unique_ptr<CocoLite> m_database;
    std::unique_ptr<GestionnairePileFichier> m_pileFichiers;
    QStringList m_pendingPaths;
    bool m_launched = false;
};
