#include "MainWindow.h"

#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrInfoFile.h"
#include "ui/VueCtrlrReglage.h"

#include "storage/UserDefaults.h"

#include <QSplitter>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), m_splitter(new QSplitter(this)) {
    setWindowTitle(QStringLiteral("Tonebridge"));
    m_splitter->setObjectName(QStringLiteral("splitView"));
    auto* reglage = new VueCtrlrReglage(m_splitter);
    auto* filez = new VueCtrlrFilez(m_splitter);
    m_splitter->addWidget(reglage);
    m_splitter->addWidget(filez);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setChildrenCollapsible(false);
    filez->setDetailView(reglage->infofileVC());
    setCentralWidget(m_splitter);
    resize(1240, 800);
    m_splitter->setSizes({390, 850});
    // Where the user left the window and its panes.
    const auto& defaults = UserDefaults::standard();
    restoreGeometry(defaults.objectForKey(QStringLiteral("MainWindowGeometry")).toByteArray());
    m_splitter->restoreState(
        defaults.objectForKey(QStringLiteral("MainWindowPanes")).toByteArray());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    auto& defaults = UserDefaults::standard();
    defaults.setObject(saveGeometry(), QStringLiteral("MainWindowGeometry"));
    defaults.setObject(m_splitter->saveState(), QStringLiteral("MainWindowPanes"));
    QMainWindow::closeEvent(event);
}
