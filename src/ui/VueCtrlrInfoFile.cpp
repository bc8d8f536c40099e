#include "VueCtrlrInfoFile.h"

#include "conversion/Core.h"
#include "conversion/DiscImageReader.h"
#include "conversion/FlacTagReader.h"
#include "conversion/SelectionTagReader.h"
#include "model/EditedField.h"
#include "model/LocalizedStrings.h"
#include "model/OutputCodec.h"
#include "model/QueueStore.h"
#include "model/Settings.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/Log.h"
#include "storage/ThreadHandoff.h"
#include "ui/AlertSound.h"
#include "ui/ElidedLabel.h"
#include "ui/FileSizeFormatting.h"
#include "ui/InfoTableModel.h"
#include "ui/OneClickEdit.h"
#include "ui/VueCtrlrFilez.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QString kFileNameKey = QStringLiteral("fileName");
const QString kSizeKey = QStringLiteral("NSURLFileSizeKey");
// Row 0 is the file name, the edited fields follow; the others are facts of
// the stream.
int lastEditableRow() {
    return int(EditedField::all().size());
}
} // namespace

VueCtrlrInfoFile::VueCtrlrInfoFile(Core& core, QWidget* parent)
    : QWidget(parent), m_imageButton(new QToolButton),
      m_autoFindImageCheckBox(new QCheckBox(tr("Find automatically"))),
      m_imageSourceTypeRadioMatrix(new QButtonGroup(this)),
      m_chooseImageButton(new QPushButton(tr("Choose an image…"))), m_infoTableVue(new QTableView),
      m_infoTableModel(new InfoTableModel(this)), m_titreTextField(new ElidedLabel),
      m_sheetEncodingLabel(new QLabel(tr("Cue sheet text:"))), m_sheetEncodingPopUp(new QComboBox),
      m_core(core) {
    setObjectName(QStringLiteral("infofileVC"));
    m_titreTextField->setObjectName(QStringLiteral("titreTextField"));
    QFont titleFont = m_titreTextField->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    m_titreTextField->setFont(titleFont);
    m_titreTextField->setText(QStringLiteral("-"));

    m_imageButton->setObjectName(QStringLiteral("imageButton"));
    m_imageButton->setIconSize(QSize(kPictureSide, kPictureSide));
    m_imageButton->setFixedSize(kPictureSide + 12, kPictureSide + 12);
    m_imageButton->setAutoRaise(true);
    connect(m_imageButton, &QToolButton::clicked, this, &VueCtrlrInfoFile::toggleExternalImages);

    m_autoFindImageCheckBox->setObjectName(QStringLiteral("autoFindImage"));
    connect(m_autoFindImageCheckBox, &QCheckBox::clicked, this, &VueCtrlrInfoFile::checkingBox);
    const QStringList sources = {tr("Picture in the FLAC file"), tr("Image near the file"),
                                 tr("Chosen image"), tr("File icon"), tr("Default picture")};
    auto* pictureControls = new QVBoxLayout;
    pictureControls->addWidget(m_autoFindImageCheckBox);
    for (int tag = 0; tag < sources.size(); ++tag) {
        auto* radio = new QRadioButton(sources.at(tag));
        radio->setObjectName(QStringLiteral("imageSourceType%1").arg(tag));
        m_imageSourceTypeRadioMatrix->addButton(radio, tag);
        pictureControls->addWidget(radio);
    }
    connect(m_imageSourceTypeRadioMatrix, &QButtonGroup::idClicked, this,
            &VueCtrlrInfoFile::changerSourceTypeRadio);
    m_chooseImageButton->setObjectName(QStringLiteral("chooseImageButton"));
    connect(m_chooseImageButton, &QPushButton::clicked, this, &VueCtrlrInfoFile::chooseImage);
    pictureControls->addWidget(m_chooseImageButton);
    pictureControls->addStretch(1);
    m_sheetEncodingPopUp->setObjectName(QStringLiteral("sheetEncoding"));
    m_sheetEncodingPopUp->setToolTip(
        tr("The encoding the cue sheet's text is read in; choose another when the titles "
           "show wrong letters"));
    connect(m_sheetEncodingPopUp, &QComboBox::activated, this,
            [this] { changeSheetEncoding(m_sheetEncodingPopUp->currentText()); });
    pictureControls->addWidget(m_sheetEncodingLabel);
    pictureControls->addWidget(m_sheetEncodingPopUp);

    m_infoTableVue->setObjectName(QStringLiteral("infoTableVue"));
    m_infoTableVue->setModel(m_infoTableModel);
    m_infoTableVue->verticalHeader()->setVisible(false);
    m_infoTableVue->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_infoTableVue->horizontalHeader()->setSectionResizeMode(InfoTableModel::kClef,
                                                             QHeaderView::ResizeToContents);
    m_infoTableVue->horizontalHeader()->setSectionResizeMode(InfoTableModel::kSrce,
                                                             QHeaderView::Stretch);
    m_infoTableVue->horizontalHeader()->setSectionResizeMode(InfoTableModel::kDest,
                                                             QHeaderView::Stretch);
    m_infoTableVue->setSelectionMode(QAbstractItemView::SingleSelection);
    m_infoTableVue->setWordWrap(false);
    m_infoTableVue->setAlternatingRowColors(true);
    OneClickEdit::install(m_infoTableVue);

    auto* pictureRow = new QHBoxLayout;
    pictureRow->addWidget(m_imageButton, 0, Qt::AlignTop);
    pictureRow->addLayout(pictureControls);
    auto* left = new QVBoxLayout;
    left->addWidget(m_titreTextField);
    left->addLayout(pictureRow, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->addLayout(left);
    layout->addWidget(m_infoTableVue, 1);
    m_titreTextField->setMaximumWidth(kPictureSide * 2 + 40);
    m_titreTextField->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    connect(core.selectionTagReader(), &SelectionTagReader::carriedTagsRead, this,
            [this](quint64 reading, const QList<QPair<QString, QString>>& rows) {
                if (reading == m_carriedReading) {
                    m_carriedReading = 0;
                    m_carriedTags = rows;
                    m_infoTableModel->reload();
                }
            });
    _updateImageButtonEnability();
}

void VueCtrlrInfoFile::readCarriedTags() {
    SelectionTagReader* reader = m_core.selectionTagReader();
    m_carriedReading = 0;
    reader->cancel();
    if (fileCount() <= kCommentsReadAtOnce) {
        m_carriedTags =
            m_fichierActif ? m_fichierActif->carriedTags() : QList<QPair<QString, QString>>();
        return;
    }
    // Shown until the reading answers.
    m_carriedTags = {{QStringLiteral("…"), QStringLiteral("…")}};
    m_carriedReading = reader->read(m_fichierActif->listeMultiFichiers());
}

int VueCtrlrInfoFile::fileCount() const {
    return m_fichierActif ? int(m_fichierActif->listeMultiFichiers().size()) : 0;
}

void VueCtrlrInfoFile::reloadFileList() {
    emit filesEdited();
}

void VueCtrlrInfoFile::refreshContent() {
    m_titreTextField->setText(m_fichierActif ? m_fichierActif->nomElement() : QStringLiteral("-"));
    m_titreTextField->setToolTip(m_titreTextField->text());
    readCarriedTags();
    m_infoTableModel->reload();
    _updateImageView();
    const qint32 autoFind = m_fichierActif ? m_fichierActif->imageAutoFind() : -1;
    m_autoFindImageCheckBox->setTristate(autoFind < 0);
    m_autoFindImageCheckBox->setCheckState(
        autoFind < 0 ? Qt::PartiallyChecked : (autoFind != 0 ? Qt::Checked : Qt::Unchecked));
    const qint32 sourceType = m_fichierActif ? m_fichierActif->imageSourceType() : -2;
    QAbstractButton* radio = m_imageSourceTypeRadioMatrix->button(sourceType);
    if (radio != nullptr) {
        radio->setChecked(true);
    } else if (QAbstractButton* checked = m_imageSourceTypeRadioMatrix->checkedButton()) {
        m_imageSourceTypeRadioMatrix->setExclusive(false);
        checked->setChecked(false);
        m_imageSourceTypeRadioMatrix->setExclusive(true);
    }
    _updateImageButtonEnability();
    showSheetEncoding();
}

std::optional<ImageTrack> VueCtrlrInfoFile::sharedSheet(QString* imagePath) const {
    std::optional<ImageTrack> shared;
    if (!m_fichierActif) {
        return shared;
    }
    for (const FichierAudioPtr& file : m_fichierActif->listeMultiFichiers()) {
        const std::optional<ImageTrack>& track = file->imageTrack();
        const PersistentURLPtr source = file->elementURL();
        if (!track || !source || track->sheetPath.isEmpty() ||
            (shared && (shared->sheetPath != track->sheetPath || *imagePath != source->path()))) {
            return std::nullopt;
        }
        shared = track;
        *imagePath = source->path();
    }
    return shared;
}

void VueCtrlrInfoFile::showSheetEncoding() {
    QString image;
    const std::optional<ImageTrack> track = sharedSheet(&image);
    m_sheetEncodingLabel->setVisible(track.has_value());
    m_sheetEncodingPopUp->setVisible(track.has_value());
    if (!track) {
        return;
    }
    // The one in use first, then the code pages of old rips.
    QStringList encodings = {QStringLiteral("UTF-8"),        QStringLiteral("WINDOWS-1252"),
                             QStringLiteral("WINDOWS-1251"), QStringLiteral("WINDOWS-1250"),
                             QStringLiteral("SHIFT_JIS"),    QStringLiteral("EUC-JP"),
                             QStringLiteral("GB18030"),      QStringLiteral("BIG5"),
                             QStringLiteral("EUC-KR"),       QStringLiteral("KOI8-R"),
                             QStringLiteral("CP866"),        QStringLiteral("ISO-8859-2")};
    const QString current =
        track->sheetEncoding.isEmpty() ? QStringLiteral("UTF-8") : track->sheetEncoding.toUpper();
    encodings.removeAll(current);
    encodings.prepend(current);
    m_sheetEncodingPopUp->clear();
    m_sheetEncodingPopUp->addItems(encodings);
    m_sheetEncodingPopUp->setCurrentIndex(0);
}

void VueCtrlrInfoFile::changeSheetEncoding(const QString& encoding) {
    QString image;
    const std::optional<ImageTrack> track = sharedSheet(&image);
    if (!track || encoding == track->sheetEncoding) {
        return;
    }
    // The image's comments and the sheet are read again on a thread: a
    // folder may be on a drive that stalls.
    const FlacTagReader* reader = m_core.tagReader();
    const bool pregapsWithTheirTracks = m_core.settings().value(Settings::pregapsWithTheirTracks);
    GestionnairePileFichier* queue = m_core.queue();
    ThreadHandoff::start(*QThreadPool::globalInstance(), [this, reader, image, encoding,
                                                          pregapsWithTheirTracks, queue,
                                                          alive = std::weak_ptr<int>(m_alive)] {
        SourceReading reading = reader->readSource(image, nullptr);
        if (reading.read) {
            DiscImageReader::readTracks(image, reader->metaflacPath(), reading,
                                        pregapsWithTheirTracks, nullptr, encoding);
        }
        ThreadHandoff::handOver();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, image, reading, queue, alive] {
                ThreadHandoff::takeOver();
                if (alive.expired()) {
                    return;
                }
                if (reading.tracks.isEmpty() || queue->relirePistes(image, reading) == 0) {
                    emit editRefused(tr("The cue sheet could not be read in that encoding"));
                }
                emit sheetReread();
            },
            Qt::QueuedConnection);
    });
}

void VueCtrlrInfoFile::_updateImageView() {
    const ImagePtr picture = m_fichierActif ? m_fichierActif->mainPictureCached(false) : nullptr;
    m_imageButton->setIcon(picture ? QIcon(QPixmap::fromImage(picture->scaled(kPictureSide)))
                                   : QIcon());
    const ImagePtr cached = m_fichierActif ? m_fichierActif->mainPictureCached(true) : nullptr;
    m_imageButton->setToolTip(cached ? cached->name() : QString());
    m_imageButton->setEnabled(fileCount() > 0);
    reloadFileList();
}

void VueCtrlrInfoFile::_updateImageButtonEnability() {
    m_autoFindImageCheckBox->setEnabled(true);
    for (QAbstractButton* radio : m_imageSourceTypeRadioMatrix->buttons()) {
        radio->setEnabled(true);
    }
    m_chooseImageButton->setEnabled(
        fileCount() > 0 && m_autoFindImageCheckBox->checkState() == Qt::Unchecked &&
        m_imageSourceTypeRadioMatrix->checkedId() == kImageSourceCustom);
}

void VueCtrlrInfoFile::checkingBox() {
    // A click on a mixed box turns it on; it is two-state from then on.
    if (m_autoFindImageCheckBox->checkState() == Qt::PartiallyChecked) {
        m_autoFindImageCheckBox->setCheckState(Qt::Checked);
    }
    m_autoFindImageCheckBox->setTristate(false);
    const bool on = m_autoFindImageCheckBox->checkState() == Qt::Checked;
    m_core.settings().setValue(Settings::imageAutoFind, on);
    if (m_fichierActif && m_fichierActif->imageAutoFind() != (on ? 1 : 0)) {
        m_fichierActif->setImageAutoFind(on ? 1 : 0);
        _updateImageView();
        _updateImageButtonEnability();
    }
}

void VueCtrlrInfoFile::changerSourceTypeRadio(int tag) {
    if (m_fichierActif) {
        m_fichierActif->setImageSourceType(tag);
    }
    _updateImageView();
    _updateImageButtonEnability();
}

void VueCtrlrInfoFile::chooseImage() {
    auto* panel = new QFileDialog(window(), tr("Choose a cover image"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setDirectory(m_core.settings().value(Settings::imageCustomFolder));
    panel->setNameFilters(
        {tr("Images (*.jpg *.jpeg *.png *.gif *.tif *.tiff *.bmp *.webp)"), tr("All files (*)")});
    connect(panel, &QFileDialog::finished, this, [this, panel](int result) {
        _userChoosedImageFileWithPanel(result, panel->selectedFiles().value(0));
    });
    panel->open();
}

void VueCtrlrInfoFile::_userChoosedImageFileWithPanel(int result, const QString& path) {
    if (result != QDialog::Accepted || path.isEmpty()) {
        return;
    }
    PersistentURLPtr url = PersistentURL::persistentURLwithURL(path);
    url->setElementType(kElementImage);
    m_core.store()->saveUrl(*url);
    m_core.settings().setValue(Settings::imageCustomFolder, QFileInfo(path).absolutePath());
    if (m_fichierActif) {
        m_fichierActif->setImageCustomURL(url);
    }
    _updateImageView();
}

void VueCtrlrInfoFile::toggleExternalImages() {
    if (!m_fichierActif) {
        return;
    }
    const quint64 index = m_fichierActif->externalImageIndex();
    const quint64 count = quint64(m_fichierActif->externalImages().size());
    m_fichierActif->setExternalImageIndex(index + 1 < count ? index + 1 : 0);
    _updateImageView();
}

void VueCtrlrInfoFile::cellFieldFocus() {
    m_infoTableVue->setFocus(Qt::OtherFocusReason);
    Log::write(QStringLiteral("focus"));
}

int VueCtrlrInfoFile::rowCount() const {
    return int(InfoTableModel::keys().size() + m_carriedTags.size());
}

QVariant VueCtrlrInfoFile::cellValue(const QString& columnIdentifier, int row) const {
    const qsizetype carried = row - InfoTableModel::keys().size();
    if (carried >= 0 && carried < m_carriedTags.size()) {
        // Carried as they are: the output holds what the source does.
        const auto& [name, value] = m_carriedTags.at(carried);
        return columnIdentifier == QLatin1String("clef") ? name : value;
    }
    const QString key = InfoTableModel::keys().value(row);
    if (columnIdentifier == QLatin1String("clef")) {
        return LocalizedStrings::text(key);
    }
    MetadataDictionaryPtr record;
    if (columnIdentifier == QLatin1String("srce")) {
        record = m_fichierActif ? m_fichierActif->inMetadataDict() : nullptr;
    } else if (columnIdentifier == QLatin1String("dest")) {
        record = m_fichierActif ? m_fichierActif->outMetadataDict() : nullptr;
    } else {
        Log::write(QStringLiteral("Colonne %1 inconnue").arg(columnIdentifier));
        return QVariant();
    }
    if (!record) {
        return QVariant();
    }
    const QVariant value = record->value(key);
    if (key == kSizeKey) {
        return FileSizeFormatting::stringWithFileSize(value.toFloat());
    }
    if (const EditedField* field = EditedField::byKey(key); field != nullptr && field->numeric) {
        return MetadataDictionary::shownNumber(value);
    }
    return value;
}

bool VueCtrlrInfoFile::isRowEditable(int row) const {
    const int files = fileCount();
    if (files == 0 || row < 0 || row > lastEditableRow()) {
        return false;
    }
    return row != 0 || files == 1;
}

QString VueCtrlrInfoFile::refusalFor(const QString& key, const QString& value) {
    const EditedField* field = EditedField::byKey(key);
    return field != nullptr ? field->refusalFor(value) : QString();
}

void VueCtrlrInfoFile::forgetTypedName() {
    for (const FichierAudioPtr& file : m_fichierActif->listeMultiFichiers()) {
        file->setNomDestination(QString());
        const PersistentURLPtr destination = file->freshDestinationURL();
        file->outMetadataDict()->insert(kFileNameKey,
                                        destination ? destination->fileName() : QString());
        file->save();
    }
    const QList<FichierAudioPtr> files = m_fichierActif->listeMultiFichiers();
    if (files.size() == 1 && files.first()->destinationURL()) {
        m_fichierActif->outMetadataDict()->insert(kFileNameKey,
                                                  files.first()->destinationURL()->fileName());
    }
}

bool VueCtrlrInfoFile::applyFileName(QString value) {
    // Emptied, the name goes back to the one made from the source.
    if (value.trimmed().isEmpty()) {
        forgetTypedName();
        return true;
    }
    // The name is appended to the destination folder: it must stay a name.
    if (value.contains(QLatin1Char('/')) || value == QLatin1String(".") ||
        value == QLatin1String("..")) {
        AlertSound::play();
        return false;
    }
    const QString wanted = OutputCodec::extensionOf(m_core.settings().value(Settings::codec));
    const int dot = value.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 ? value.mid(dot + 1) : QString();
    if (extension != wanted) {
        AlertSound::play();
        value = (dot > 0 ? value.left(dot) : value) + QLatin1Char('.') + wanted;
    }
    for (const FichierAudioPtr& file : m_fichierActif->listeMultiFichiers()) {
        file->outMetadataDict()->insert(kFileNameKey, value);
        file->setNomDestination(value);
        file->freshDestinationURL();
        file->save();
    }
    m_fichierActif->outMetadataDict()->insert(kFileNameKey, value);
    return true;
}

bool VueCtrlrInfoFile::setCellValue(int row, const QString& value) {
    if (!isRowEditable(row)) {
        return false;
    }
    const QString key = InfoTableModel::keys().at(row);
    const QString refusal = refusalFor(key, value);
    if (!refusal.isEmpty()) {
        AlertSound::play();
        emit editRefused(refusal);
        return false;
    }
    if (key == kFileNameKey) {
        if (!applyFileName(value)) {
            return false;
        }
    } else {
        for (const FichierAudioPtr& file : m_fichierActif->listeMultiFichiers()) {
            file->outMetadataDict()->insert(key, value);
            file->save();
        }
        m_fichierActif->outMetadataDict()->insert(key, value);
    }
    reloadFileList();
    return true;
}
