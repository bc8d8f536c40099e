#include "VueCtrlrFilez.h"

#include "conversion/ConversionControleur.h"
#include "conversion/Core.h"
#include "conversion/FileAdder.h"
#include "model/Settings.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/FileManager.h"
#include "ui/FileListModel.h"
#include "ui/FileRowDelegate.h"
#include "ui/PathControl.h"
#include "ui/TableFichiers.h"
#include "ui/VueCtrlrReglage.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
// Adding shows its progress once it has run this long.
constexpr int kProgressDelayMs = 500;
} // namespace

VueCtrlrFilez::VueCtrlrFilez(Core& core, QWidget* parent)
    : QWidget(parent), m_split(new QSplitter(Qt::Vertical)), m_pathCtrlr(new PathControl),
      m_tableVue(new TableFichiers(this)), m_model(new FileListModel(*core.queue(), this)),
      m_quoiEffacerPopup(new QComboBox), m_effacerBouton(new QPushButton(tr("Remove"))),
      m_barre2prog(new QProgressBar), m_addButton(new QToolButton), m_addBar(nullptr),
      m_addLabel(new QLabel), m_addProgress(new QProgressBar),
      m_addCancel(new QPushButton(tr("Cancel"))), m_addBarDelay(new QTimer(this)), m_core(core) {
    setObjectName(QStringLiteral("vueCtrlrFilez"));

    m_addButton->setObjectName(QStringLiteral("addButton"));
    m_addButton->setText(tr("Add…"));
    m_addButton->setToolTip(tr("Add FLAC files or folders to the list"));
    m_addButton->setPopupMode(QToolButton::MenuButtonPopup);
    m_addButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* addMenu = new QMenu(m_addButton);
    addMenu->addAction(tr("Add files…"), this, &VueCtrlrFilez::ajouterFichiersEtDossiers);
    addMenu->addAction(tr("Add a folder…"), this, &VueCtrlrFilez::ajouterDossier);
    m_addButton->setMenu(addMenu);
    connect(m_addButton, &QToolButton::clicked, this, &VueCtrlrFilez::ajouterFichiersEtDossiers);

    auto* pathScroll = new QScrollArea;
    pathScroll->setWidget(m_pathCtrlr);
    pathScroll->setWidgetResizable(true);
    pathScroll->setFrameShape(QFrame::NoFrame);
    pathScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pathScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pathScroll->setFixedHeight(m_addButton->sizeHint().height() + 4);
    m_pathCtrlr->setObjectName(QStringLiteral("pathCtrlr"));
    connect(m_pathCtrlr, &PathControl::componentClicked, this, &VueCtrlrFilez::clickPathControl);

    auto* top = new QHBoxLayout;
    top->addWidget(m_addButton);
    top->addWidget(pathScroll, 1);

    m_tableVue->setModel(m_model);
    m_tableVue->setItemDelegate(new FileRowDelegate(m_tableVue));
    m_tableVue->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableVue->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // No stripes: the thumbnails set the rows apart, and the style's row
    // backgrounds cost a tenth of the time a long list takes to scroll.
    m_tableVue->setAlternatingRowColors(false);
    m_tableVue->setShowGrid(false);
    m_tableVue->setWordWrap(false);
    m_tableVue->setIconSize(QSize(FileListModel::kThumbnailSide, FileListModel::kThumbnailSide));
    m_tableVue->verticalHeader()->setVisible(false);
    m_tableVue->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_tableVue->verticalHeader()->setDefaultSectionSize(FileListModel::kThumbnailSide + 6);
    QHeaderView* header = m_tableVue->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->resizeSection(FileListModel::kThumbnail, FileListModel::kThumbnailSide + 10);
    // All nine columns fit the default window's list, the status badge and
    // the path included; long texts are elided.
    header->resizeSection(FileListModel::kName, 150);
    header->resizeSection(FileListModel::kTrack, 44);
    header->resizeSection(FileListModel::kTitle, 130);
    header->resizeSection(FileListModel::kArtist, 105);
    header->resizeSection(FileListModel::kAlbum, 105);
    header->resizeSection(FileListModel::kSize, 70);
    header->resizeSection(FileListModel::kPath, 120);
    header->resizeSection(FileListModel::kStatus, 46);
    header->setStretchLastSection(false);
    m_tableVue->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sortIndicatorChanged, this,
            &VueCtrlrFilez::sortDescriptorsDidChange);
    connect(m_tableVue->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        // While rows come and go the selection moves with its files; it is
        // handed on once the rows have settled.
        if (m_model->isSyncing()) {
            m_selectionMoved = true;
        } else if (!m_reloading) {
            tableViewSelectionDidChange();
        }
    });
    connect(m_model, &FileListModel::rowsSettled, this, [this] {
        if (std::exchange(m_selectionMoved, false) && !m_reloading) {
            tableViewSelectionDidChange();
        }
    });
    connectAdder(core.fileAdder());
    connect(core.controleur(), &ConversionControleur::fileChanged, m_model,
            [this](const FichierAudioPtr& file) { m_model->fileChanged(file.get()); });
    buildRowMenu();
    m_tableVue->setStyleSheet(QStringLiteral(
        "TableFichiers[highlighted=\"true\"] { border: 2px solid palette(highlight); }"));

    m_quoiEffacerPopup->setObjectName(QStringLiteral("quoiEffacerPopup"));
    m_quoiEffacerPopup->addItem(tr("Remove…"), int(kRemoveNothing));
    m_quoiEffacerPopup->addItem(tr("All files"), int(kRemoveAll));
    m_quoiEffacerPopup->addItem(tr("Selected files"), int(kRemoveSelected));
    m_quoiEffacerPopup->addItem(tr("Converted files"), int(kRemoveConverted));
    connect(m_quoiEffacerPopup, &QComboBox::activated, this, &VueCtrlrFilez::choisirQuoiEffacer);
    m_effacerBouton->setObjectName(QStringLiteral("effacerBouton"));
    m_effacerBouton->setEnabled(false);
    connect(m_effacerBouton, &QPushButton::clicked, this, &VueCtrlrFilez::effacer);
    auto* resetButton = new QPushButton(tr("Reset"));
    resetButton->setObjectName(QStringLiteral("resetButton"));
    resetButton->setToolTip(tr("Make every file of the list ready to convert again"));
    connect(resetButton, &QPushButton::clicked, this, &VueCtrlrFilez::raffraichirDossierPref);
    m_barre2prog->setObjectName(QStringLiteral("barre2prog"));
    m_barre2prog->setRange(0, 100);
    m_barre2prog->setValue(0);
    m_barre2prog->setTextVisible(true);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_quoiEffacerPopup);
    bottom->addWidget(m_effacerBouton);
    bottom->addWidget(resetButton);
    bottom->addSpacing(12);
    bottom->addWidget(m_barre2prog, 1);

    auto* listArea = new QWidget;
    auto* listLayout = new QVBoxLayout(listArea);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addLayout(top);
    listLayout->addWidget(m_tableVue, 1);
    listLayout->addWidget(buildAddBar());
    listLayout->addLayout(bottom);
    m_split->setObjectName(QStringLiteral("listSplit"));
    m_split->addWidget(listArea);
    m_split->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_split);

    m_bumenuQE = 0;
    const QString remembered = m_core.settings().value(Settings::lastFlacFolder);
    if (!remembered.isEmpty()) {
        m_pathCtrlr->setPath(remembered);
    }
}

void VueCtrlrFilez::buildRowMenu() {
    m_rowMenu = new QMenu(this);
    m_rowMenu->setObjectName(QStringLiteral("rowMenu"));
    m_rowMenu->addAction(tr("Remove from the list"), this, &VueCtrlrFilez::effacerLaSelection);
    m_rowMenu->addAction(tr("Open the folder"), this, &VueCtrlrFilez::ouvrirLeDossier);
    m_rowMenu->addAction(tr("Make ready again"), this, &VueCtrlrFilez::reinitialiserLaSelection);
    m_tableVue->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tableVue, &QWidget::customContextMenuRequested, this, [this](const QPoint& point) {
        const QModelIndex clicked = m_tableVue->indexAt(point);
        if (!clicked.isValid()) {
            return;
        }
        // A click outside the selection selects the row clicked.
        if (!m_tableVue->selectionModel()->isRowSelected(clicked.row(), QModelIndex())) {
            m_tableVue->selectRow(clicked.row());
        }
        m_rowMenu->popup(m_tableVue->viewport()->mapToGlobal(point));
    });
}

void VueCtrlrFilez::ouvrirLeDossier() {
    const QList<qint64> rows = selectedRows();
    const GestionnairePileFichier* pile = _pileFichiers();
    const FichierAudioPtr file =
        pile != nullptr && !rows.isEmpty() ? pile->fichierAt(rows.first()) : nullptr;
    if (file && file->elementURL()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(file->elementURL()->folderPath()));
    }
}

void VueCtrlrFilez::reinitialiserLaSelection() {
    GestionnairePileFichier* pile = _pileFichiers();
    if (pile == nullptr) {
        return;
    }
    pile->reinitialiserFichiers(selectedRows());
    for (const qint64 row : selectedRows()) {
        if (const FichierAudioPtr file = pile->fichierAt(row)) {
            m_model->fileChanged(file.get());
        }
    }
    sayWhatTheListAllows();
}

void VueCtrlrFilez::sayWhatTheListAllows() {
    // Outside a pass: whether Start is offered, and what to do next.
    const GestionnairePileFichier* pile = _pileFichiers();
    const bool converting = m_core.controleur()->isRunning();
    if (m_reglage != nullptr && !converting) {
        m_reglage->laListeContientDesFichiers(pile->countOfFichiersAudio() > 0);
    }
}

QWidget* VueCtrlrFilez::buildAddBar() {
    m_addBar = new QWidget;
    m_addBar->setObjectName(QStringLiteral("addBar"));
    auto* row = new QHBoxLayout(m_addBar);
    row->setContentsMargins(0, 0, 0, 0);
    m_addLabel->setText(tr("Adding files…"));
    m_addProgress->setObjectName(QStringLiteral("addProgress"));
    m_addProgress->setRange(0, 0);
    m_addCancel->setObjectName(QStringLiteral("addCancel"));
    row->addWidget(m_addLabel);
    row->addWidget(m_addProgress, 1);
    row->addWidget(m_addCancel);
    m_addBar->hide();
    // A short addition passes without a word; a long one shows its progress.
    m_addBarDelay->setSingleShot(true);
    m_addBarDelay->setInterval(kProgressDelayMs);
    connect(m_addBarDelay, &QTimer::timeout, m_addBar, &QWidget::show);
    return m_addBar;
}

bool VueCtrlrFilez::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_tableVue->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
    }
    return QWidget::eventFilter(watched, event);
}

void VueCtrlrFilez::fitColumns() {
    // A narrow window (1024 pixels) still shows every column, the status
    // badge last: the text columns give up their width, in proportion.
    static const int texts[] = {FileListModel::kName, FileListModel::kTitle, FileListModel::kArtist,
                                FileListModel::kAlbum, FileListModel::kPath};
    constexpr int kNarrowest = 48;
    QHeaderView* header = m_tableVue->horizontalHeader();
    const int available = m_tableVue->viewport()->width();
    int total = 0;
    int textWidth = 0;
    for (int column = 0; column < FileListModel::kColumnCount; ++column) {
        total += header->sectionSize(column);
    }
    for (const int column : texts) {
        textWidth += header->sectionSize(column);
    }
    const int excess = total - available;
    if (excess <= 0 || textWidth <= 0) {
        return;
    }
    const double kept = std::max(0.0, double(textWidth - excess) / textWidth);
    for (const int column : texts) {
        header->resizeSection(column,
                              std::max(kNarrowest, int(header->sectionSize(column) * kept)));
    }
}

void VueCtrlrFilez::setDetailView(QWidget* detail) {
    m_split->addWidget(detail);
    m_split->setStretchFactor(0, 3);
    m_split->setStretchFactor(1, 2);
}

GestionnairePileFichier* VueCtrlrFilez::_pileFichiers() const {
    return m_core.queue();
}

QList<FichierAudioPtr> VueCtrlrFilez::filez() const {
    const GestionnairePileFichier* pile = _pileFichiers();
    return pile != nullptr ? pile->fichiersAudio() : QList<FichierAudioPtr>();
}

QList<qint64> VueCtrlrFilez::selectedRows() const {
    // Whole rows are selected: each range's rows, without an index per cell
    // (a selection can be a library of 100,000 files).
    QList<qint64> rows;
    for (const QItemSelectionRange& range : m_tableVue->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows << row;
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int VueCtrlrFilez::popupTag() const {
    return m_quoiEffacerPopup->currentData().toInt();
}

void VueCtrlrFilez::selectPopupTag(int tag) {
    const int index = m_quoiEffacerPopup->findData(tag);
    if (index >= 0) {
        m_quoiEffacerPopup->setCurrentIndex(index);
    }
}

void VueCtrlrFilez::connectAdder(FileAdder* adder) {
    if (m_adder == adder) {
        return;
    }
    m_adder = adder;
    connect(adder, &FileAdder::adding, this, &VueCtrlrFilez::additionStarts);
    connect(adder, &FileAdder::filesAdded, this, [this] { syncList(true); });
    connect(adder, &FileAdder::progress, this, [this](int done, int total) {
        m_addProgress->setRange(0, std::max(total, 1));
        m_addProgress->setValue(std::min(done, std::max(total, 1)));
        m_addLabel->setText(tr("%n file(s) added", nullptr, done));
    });
    connect(adder, &FileAdder::confirmationNeeded, this, &VueCtrlrFilez::askToGoOn);
    connect(adder, &FileAdder::finished, this, &VueCtrlrFilez::additionEnded);
    connect(m_addCancel, &QPushButton::clicked, adder, &FileAdder::cancel);
}

void VueCtrlrFilez::askToGoOn(int flacFiles, const QStringList& paths) {
    auto* question = new QMessageBox(
        QMessageBox::Question, tr("Add files"),
        tr("Add the %1 FLAC files found in %2?")
            .arg(QLocale(QLocale::French).toString(flacFiles), paths.join(QStringLiteral(", "))),
        QMessageBox::NoButton, window());
    question->setObjectName(QStringLiteral("confirmAddition"));
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setWindowModality(Qt::WindowModal);
    QPushButton* add = question->addButton(tr("Add"), QMessageBox::AcceptRole);
    question->addButton(tr("Cancel"), QMessageBox::RejectRole);
    question->setDefaultButton(add);
    connect(question, &QMessageBox::finished, this, [this, question, add] {
        if (m_adder != nullptr) {
            m_adder->confirm(question->clickedButton() == add);
        }
    });
    question->open();
}

void VueCtrlrFilez::additionEnded() {
    m_addBarDelay->stop();
    m_addBar->hide();
    m_addProgress->setRange(0, 0);
    m_addLabel->setText(tr("Adding files…"));
    // The last file's tags were the last message: say what the list allows
    // now, then what the addition did.
    sayWhatTheListAllows();
    if (m_reglage != nullptr && m_adder != nullptr) {
        m_reglage->echoUserMessage(FileAdder::describe(m_adder->summary()));
    }
    raffraichirTableau();
}

void VueCtrlrFilez::ajouterFichiersDossiers(const QStringList& paths, int confirmAbove) {
    m_core.fileAdder()->add(paths, confirmAbove);
}

void VueCtrlrFilez::additionStarts(const QStringList& paths, bool joined) {
    QString lastFolder;
    QString lastFile;
    for (const QString& path : paths) {
        bool isDirectory = false;
        if (FileManager::fileExists(path, &isDirectory)) {
            (isDirectory ? lastFolder : lastFile) = path;
        }
    }
    const QString remembered =
        !lastFolder.isEmpty()
            ? lastFolder
            : (!lastFile.isEmpty() ? QFileInfo(lastFile).absolutePath() : QString());
    m_core.settings().setValue(Settings::lastFlacFolder, remembered);
    m_pathCtrlr->setPath(remembered);
    // Reading happens on worker threads; the list grows as files arrive, and
    // an addition that lasts shows its progress under the list, with its
    // cancel, while the window stays usable.
    if (!joined) {
        m_addBarDelay->start();
    }
}

QString VueCtrlrFilez::startFolder(const QString& remembered) {
    // A remembered folder that is gone would open the dialog anywhere: the
    // music folder then, or the home folder.
    for (const QString& folder :
         {remembered, QStandardPaths::writableLocation(QStandardPaths::MusicLocation)}) {
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
            return folder;
        }
    }
    return QDir::homePath();
}

void VueCtrlrFilez::openPanel(bool folders) {
    auto* panel = new QFileDialog(window());
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setDirectory(startFolder(m_core.settings().value(Settings::lastFlacFolder)));
    if (folders) {
        panel->setWindowTitle(tr("Add a folder"));
        panel->setFileMode(QFileDialog::Directory);
        panel->setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        panel->setWindowTitle(tr("Add files"));
        panel->setFileMode(QFileDialog::ExistingFiles);
        panel->setNameFilters({tr("FLAC files and cue sheets (*.flac *.FLAC *.Flac *.cue *.CUE)"),
                               tr("All files (*)")});
    }
    connect(panel, &QFileDialog::finished, this,
            [this, panel](int result) { panelClosed(result, panel->selectedFiles()); });
    panel->open();
}

void VueCtrlrFilez::ajouterFichiersEtDossiers() {
    openPanel(false);
}

void VueCtrlrFilez::ajouterDossier() {
    openPanel(true);
}

void VueCtrlrFilez::panelClosed(int result, const QStringList& paths) {
    if (result == QDialog::Accepted && !paths.isEmpty()) {
        ajouterFichiersDossiers(paths);
    }
}

void VueCtrlrFilez::clickPathControl(const QString& path) {
    if (!path.isEmpty()) {
        // A folder high up the path can hold a whole disk: more than a
        // folder's worth is added only once the user says so.
        ajouterFichiersDossiers({path}, kPathBarConfirmAbove);
    }
}

void VueCtrlrFilez::choisirQuoiEffacer() {
    m_effacerBouton->setEnabled(popupTag() != kRemoveNothing);
}

void VueCtrlrFilez::effacer() {
    GestionnairePileFichier* pile = _pileFichiers();
    if (pile == nullptr) {
        return;
    }
    const int tag = popupTag();
    const QList<qint64> selected = selectedRows();
    QList<qint64> all;
    for (qint64 row = 0; row < pile->countOfFichiersAudio(); ++row) {
        all << row;
    }
    bool removed = false;
    if (tag == kRemoveAll) {
        if (!all.isEmpty()) {
            pile->supprimerLesFichiersDansLindex(all, false);
            removed = true;
        }
    } else if (tag == kRemoveConverted) {
        pile->supprimerLesFichiersDansLindex(all, true);
        removed = true;
    } else if (tag == kRemoveSelected && !selected.isEmpty()) {
        pile->supprimerLesFichiersDansLindex(selected, false);
        removed = true;
    }
    selectPopupTag(kRemoveNothing);
    m_reloading = true;
    if (removed) {
        // The rows are gone: the selection must not follow them onto others.
        m_model->reload();
    }
    m_tableVue->clearSelection();
    m_reloading = false;
    if (!selected.isEmpty()) {
        // Clearing a selection is a selection change like any other.
        tableViewSelectionDidChange();
    }
    if (removed) {
        raffraichirTableau();
    }
}

void VueCtrlrFilez::effacerLaSelection() {
    selectPopupTag(kRemoveSelected);
    effacer();
}

void VueCtrlrFilez::tableViewSelectionDidChange() {
    const QList<qint64> rows = selectedRows();
    if (m_reglage != nullptr) {
        m_reglage->setSelectionFichiers(rows);
    }
    if (!rows.isEmpty()) {
        m_bumenuQE = popupTag();
        selectPopupTag(kRemoveSelected);
        m_effacerBouton->setEnabled(true);
    } else {
        selectPopupTag(m_bumenuQE);
        m_effacerBouton->setEnabled(m_bumenuQE != kRemoveNothing);
    }
}

void VueCtrlrFilez::raffraichirDossierPref() {
    GestionnairePileFichier* pile = _pileFichiers();
    if (pile != nullptr) {
        pile->reinitialiserEtatFichiers();
    }
    raffraichirTableau();
    // Every file is ready again: the start button says so.
    sayWhatTheListAllows();
}

void VueCtrlrFilez::raffraichirTableau() {
    syncList(true);
}

void VueCtrlrFilez::syncList(bool contentsChanged) {
    // Row by row: the selection and the scrolling stay with the files.
    m_model->sync(contentsChanged);
    if (std::exchange(m_selectionMoved, false)) {
        tableViewSelectionDidChange();
    }
}

void VueCtrlrFilez::resetBarreDeProgres() {
    m_barre2prog->setValue(0);
}

void VueCtrlrFilez::updateUIavecControleur(ConversionControleur* controleur) {
    if (controleur->indexFichier() == 1) {
        selectPopupTag(kRemoveConverted);
        m_effacerBouton->setEnabled(true);
    }
    m_barre2prog->setValue(qRound(controleur->pourcent()));
    // Statuses come row by row (fichierChange); here only files that left.
    syncList(false);
}

void VueCtrlrFilez::sortDescriptorsDidChange(int column, Qt::SortOrder order) {
    if (column < 0) {
        return;
    }
    // The sort the user picked is kept for the next start.
    m_core.settings().setValue(Settings::sortColumn, qint64(column));
    m_core.settings().setValue(Settings::sortDescending, order != Qt::AscendingOrder);
    m_model->sortQueue(column, order);
    syncList(true);
}

void VueCtrlrFilez::restoreSort() {
    const int column = int(m_core.settings().value(Settings::sortColumn));
    if (column < 0) {
        return;
    }
    const Qt::SortOrder order = m_core.settings().value(Settings::sortDescending)
                                    ? Qt::DescendingOrder
                                    : Qt::AscendingOrder;
    {
        const QSignalBlocker quiet(m_tableVue->horizontalHeader());
        m_tableVue->horizontalHeader()->setSortIndicator(column, order);
    }
    sortDescriptorsDidChange(column, order);
}
