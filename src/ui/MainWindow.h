#pragma once

#include <QMainWindow>

class Core;
class QAction;
class QSplitter;
class VueCtrlrFilez;
class VueCtrlrReglage;

// The one window: a splitter holding the settings view and the file list,
// under a menu bar whose items do what the panes' buttons do. Its views get
// the core and each other by reference. Lives on the main thread.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The core is open: the views show its queue.
    explicit MainWindow(Core& core, QWidget* parent = nullptr);

    QSplitter* splitView() const { return m_splitter; }
    VueCtrlrReglage* reglage() const { return m_reglage; }
    VueCtrlrFilez* filez() const { return m_filez; }

    QAction* addFilesAction() const { return m_addFiles; }
    QAction* addFolderAction() const { return m_addFolder; }
    QAction* quitAction() const { return m_quit; }
    // The delete-item action: the application removes the selected files.
    QAction* deleteAction() const { return m_delete; }
    QAction* startAction() const { return m_start; }
    QAction* stopAction() const { return m_stop; }
    QAction* aboutAction() const { return m_about; }

    void showAbout();
    // Asks before quitting during a pass; quits once the user agrees.
    void askToStopAndQuit();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    // The menu items follow the enabled state of the buttons they stand for.
    void updateActions();

    QSplitter* m_splitter;
    VueCtrlrReglage* m_reglage;
    VueCtrlrFilez* m_filez;
    QAction* m_addFiles = nullptr;
    QAction* m_addFolder = nullptr;
    QAction* m_quit = nullptr;
    QAction* m_delete = nullptr;
    QAction* m_start = nullptr;
    QAction* m_stop = nullptr;
    QAction* m_about = nullptr;
    bool m_quitConfirmed = false;
    Core& m_core;
};
