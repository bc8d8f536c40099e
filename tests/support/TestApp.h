#pragma once

#include "app/AppDelegate.h"
#include "conversion/ConversionControleur.h"
#include "queue/GestionnairePileFichier.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDialog>

#include <memory>

class VueCtrlrInfoFile;

// The real application in the test's home: the main window (offscreen), the
// application delegate and its start-up.
class TestApp {
public:
    TestApp();
    ~TestApp();

    AppDelegate& delegate() { return *m_delegate; }
    MainWindow& window() { return *m_window; }
    VueCtrlrFilez& filez() { return *m_delegate->vueCtrlrFilez(); }
    VueCtrlrReglage& reglage() { return *m_delegate->vueCtrlrReglage(); }
    VueCtrlrInfoFile& info();
    GestionnairePileFichier& queue() { return *m_delegate->pileFichiers(); }
    // Adds files and folders as a user would, and waits until they are listed.
    void add(const QStringList& paths);
    // Selects these rows of the list as a user would.
    void selectRows(const QList<int>& rows);

private:
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<AppDelegate> m_delegate;
};
