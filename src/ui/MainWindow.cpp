#include "MainWindow.h"

#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrReglage.h"

#include <QSplitter>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), m_splitter(new QSplitter(this)) {
    setWindowTitle(QStringLiteral("Tonebridge"));
    m_splitter->setObjectName(QStringLiteral("splitView"));
    m_splitter->addWidget(new VueCtrlrReglage(m_splitter));
    m_splitter->addWidget(new VueCtrlrFilez(m_splitter));
    m_splitter->setStretchFactor(1, 1);
    setCentralWidget(m_splitter);
    resize(1100, 680);
}
