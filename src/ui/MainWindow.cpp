#include "MainWindow.h"

#include "conversion/ConversionControleur.h"
#include "conversion/Core.h"
#include "model/Settings.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrInfoFile.h"
#include "ui/VueCtrlrReglage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>

MainWindow::MainWindow(Core& core, QWidget* parent)
    : QMainWindow(parent), m_splitter(new QSplitter(this)),
      m_reglage(new VueCtrlrReglage(core, m_splitter)),
      m_filez(new VueCtrlrFilez(core, m_splitter)), m_core(core) {
    m_reglage->setListView(m_filez);
    m_filez->setSettingsView(m_reglage);
    connect(m_reglage->infofileVC(), &VueCtrlrInfoFile::filesEdited, m_filez,
            &VueCtrlrFilez::raffraichirTableau);
    setWindowTitle(QStringLiteral("Tonebridge"));
    setWindowIcon(QIcon(QStringLiteral(":/images/tonebridge.svg")));
    m_splitter->setObjectName(QStringLiteral("splitView"));
    m_splitter->addWidget(m_reglage);
    m_splitter->addWidget(m_filez);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setChildrenCollapsible(false);
    m_filez->setDetailView(m_reglage->infofileVC());
    setCentralWidget(m_splitter);
    buildMenus();
    resize(1240, 800);
    m_splitter->setSizes({390, 850});
    // Where the user left the window and its panes.
    restoreGeometry(core.settings().value(Settings::windowGeometry));
    m_splitter->restoreState(core.settings().value(Settings::windowPanes));
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    m_addFiles =
        file->addAction(tr("Add &files…"), m_filez, &VueCtrlrFilez::ajouterFichiersEtDossiers);
    m_addFiles->setShortcut(QKeySequence::Open);
    m_addFolder = file->addAction(tr("Add a f&older…"), m_filez, &VueCtrlrFilez::ajouterDossier);
    m_addFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    file->addSeparator();
    m_quit = file->addAction(tr("&Quit"), this, &QWidget::close);
    m_quit->setShortcut(QKeySequence::Quit);
    m_quit->setMenuRole(QAction::QuitRole);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    m_delete = edit->addAction(tr("&Delete"));
    m_delete->setShortcut(QKeySequence::Delete);

    QMenu* conversion = menuBar()->addMenu(tr("&Conversion"));
    m_start = conversion->addAction(tr("&Start"), this, [this] {
        if (m_reglage->startBouton()->isEnabled()) {
            m_reglage->startConversion();
        }
    });
    m_start->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_stop = conversion->addAction(tr("S&top"), this, [this] {
        if (m_reglage->stopBouton()->isEnabled()) {
            m_reglage->stopConversion();
        }
    });
    m_stop->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    m_about = help->addAction(tr("&About"), this, &MainWindow::showAbout);
    m_about->setMenuRole(QAction::AboutRole);

    for (QMenu* menu : {file, edit, conversion, help}) {
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::updateActions);
    }
}

void MainWindow::updateActions() {
    m_start->setEnabled(m_reglage->startBouton()->isEnabled());
    m_stop->setEnabled(m_reglage->stopBouton()->isEnabled());
    m_delete->setEnabled(!m_filez->selectedRows().isEmpty());
}

void MainWindow::showAbout() {
    QMessageBox::about(
        this, tr("About Tonebridge"),
        QStringLiteral("<h3>%1</h3><p>%2</p>")
            .arg(tr("Tonebridge %1").arg(QApplication::applicationVersion()),
                 tr("Converts FLAC files to M4A, MP3, AIFF, WAV, AIFF-C, AAC, CAF, Apple "
                    "Lossless, Opus and Ogg Vorbis, with their tags and cover.")));
}

void MainWindow::askToStopAndQuit() {
    auto* question = new QMessageBox(QMessageBox::Question, tr("Quit Tonebridge"),
                                     tr("A conversion is under way: stop it and quit?"),
                                     QMessageBox::NoButton, this);
    question->setObjectName(QStringLiteral("confirmQuit"));
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setWindowModality(Qt::WindowModal);
    QPushButton* quit = question->addButton(tr("Stop and quit"), QMessageBox::AcceptRole);
    QPushButton* keepOn = question->addButton(tr("Go on converting"), QMessageBox::RejectRole);
    question->setDefaultButton(keepOn);
    connect(question, &QMessageBox::finished, this, [this, question, quit] {
        if (question->clickedButton() != quit) {
            return;
        }
        m_quitConfirmed = true;
        if (m_reglage->stopBouton()->isEnabled()) {
            m_reglage->stopConversion();
        }
        close();
    });
    question->open();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A pass under way is not dropped without a word.
    if (m_reglage->stopBouton()->isEnabled() && !m_quitConfirmed) {
        event->ignore();
        askToStopAndQuit();
        return;
    }
    m_core.settings().setValue(Settings::windowGeometry, saveGeometry());
    m_core.settings().setValue(Settings::windowPanes, m_splitter->saveState());
    QMainWindow::closeEvent(event);
}
