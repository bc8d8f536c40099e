#pragma once

#include "app/AppDelegate.h"
#include "conversion/ConversionControleur.h"
#include "queue/GestionnairePileFichier.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDialog>

#include <memory>

class VueCtrlrFilez;
class VueCtrlrInfoFile;
class VueCtrlrReglage;

// The real application in the test's home: the composition root of the
// window mode, its start-up, the main window (offscreen).
class TestApp {
public:
    TestApp();
    ~TestApp();

    AppDelegate& delegate() { return *m_delegate; }
    Core& core() { return m_delegate->core(); }
    MainWindow& window() { return *m_delegate->window(); }
    VueCtrlrFilez& filez() { return *window().filez(); }
    VueCtrlrReglage& reglage() { return *window().reglage(); }
    VueCtrlrInfoFile& info();
    GestionnairePileFichier& queue() { return *core().queue(); }
    // Adds files and folders as a user would, and waits until they are listed.
    void add(const QStringList& paths);
    // Selects these rows of the list as a user would.
    void selectRows(const QList<int>& rows);

private:
    std::unique_ptr<AppDelegate> m_delegate;
};
