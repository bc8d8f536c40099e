#pragma once

#include "conversion/Core.h"

#include <QObject>
#include <QStringList>

#include <memory>

class MainWindow;
class Settings;

// The window mode's composition root: at start-up it creates the data
// folder, opens the core over the user's database, builds the window with
// the core handed to its views, loads the queue, and takes the paths opened
// from outside (command line, desktop, a second start). Lives on the main
// thread.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(Settings& settings, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Every start-up step, in order; the window shows once the core is open.
    void applicationDidFinishLaunching();

    // Paths opened from outside go to the file adder; those that arrive
    // before start-up ended wait.
    void openPaths(const QStringList& paths);
    // The delete-item action of the menus.
    void deleteItem();

    Core& core() { return m_core; }
    // Null until start-up.
    MainWindow* window() const { return m_window.get(); }

    static QString dataFolderPath();
    static QString databasePath();

private:
    void prepareDataFolder();
    // Moves a database file SQLite cannot read aside; answers what to tell
    // the user, empty when the file was fine.
    QString setAsideUnreadableDatabase();
    void buildWindow();

    Core m_core;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_pendingPaths;
    bool m_launched = false;
};
