#include "VueCtrlrReglage.h"

#include "conversion/ConversionControleur.h"
#include "conversion/Core.h"
#include "conversion/CoverSizing.h"
#include "model/DestinationPattern.h"
#include "model/MultiFichierAudio.h"
#include "model/OutputCodec.h"
#include "model/Settings.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/Log.h"
#include "storage/UserDefaults.h"
#include "ui/ElidedLabel.h"
#include "ui/FileListModel.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrInfoFile.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kAutoTag = -1;

QString messageOrDash(const QString& message) {
    return message.isEmpty() ? QStringLiteral("-") : message;
}
} // namespace

const QStringList& VueCtrlrReglage::codecs() {
    static const QStringList values = OutputCodec::names();
    return values;
}

VueCtrlrReglage::VueCtrlrReglage(Core& core, QWidget* parent)
    : QWidget(parent), m_startBouton(new QPushButton(tr("Start"))),
      m_stopBouton(new QPushButton(tr("Stop"))), m_roulette(new QProgressBar),
      m_messageLabel(new ElidedLabel), m_formatConversionPopUp(nullptr),
      m_frequenceEchantillonPopUp(nullptr), m_qualitePopUp(nullptr), m_frequenceMaxPopUp(nullptr),
      m_resolutionMaxPopUp(nullptr), m_compressionPopUp(nullptr), m_canauxPopUp(nullptr),
      m_jobsPopUp(nullptr), m_preserveDateCheckBox(nullptr), m_effacerOriginalCheckBox(nullptr),
      m_existantPopUp(nullptr), m_copierCompagnonsCheckBox(nullptr),
      m_motifsCompagnonsTextField(new QLineEdit), m_corbeilleOrphelinsCheckBox(nullptr),
      m_imagesEntieresCheckBox(nullptr), m_silencesPopUp(nullptr), m_id3PopUp(nullptr),
      m_pochettePopUp(nullptr), m_volumePopUp(nullptr), m_appliquerVolumePopUp(nullptr),
      m_nomsCompatiblesPopUp(nullptr), m_fichierPochetteCheckBox(nullptr),
      m_folderRadioMatrix(new QButtonGroup(this)), m_autoFolderTextField(new QLineEdit),
      m_nommerSelonTagsCheckBox(nullptr), m_motifTextField(new QLineEdit),
      m_labelExempleAutoFolder(new QLabel), m_labelCustomFolder(new ElidedLabel(Qt::ElideMiddle)),
      m_customFolderChooseBout(new QPushButton(tr("Choose…"))),
      m_infofileVC(new VueCtrlrInfoFile(core)), m_core(core) {
    setObjectName(QStringLiteral("vueCtrlrReglage"));
    setMinimumSize(preferredMinimumSize());
    connect(m_infofileVC, &VueCtrlrInfoFile::editRefused, this, &VueCtrlrReglage::echoUserMessage);
    // The selection shows its tracks' new tags.
    connect(m_infofileVC, &VueCtrlrInfoFile::sheetReread, this,
            [this] { setSelectionFichiers(m_selectedRows); });
    connect(&core.messages(), &MessageRelay::said, this, &VueCtrlrReglage::echoUserMessage);
    connect(core.queue(), &GestionnairePileFichier::laListeContientDesFichiers, this,
            &VueCtrlrReglage::laListeContientDesFichiers);

    // The settings scroll when the pane is short; the start and stop buttons
    // and the message line always show.
    auto* scroll = new QScrollArea;
    scroll->setWidget(buildSettings());
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(scroll, 1);
    layout->addWidget(buildControls());
    viewDidLoad();
}

QComboBox* VueCtrlrReglage::popup(const QString& identifier, const QStringList& titles,
                                  bool withAuto) {
    auto* box = new QComboBox;
    box->setObjectName(identifier);
    if (withAuto) {
        box->addItem(tr("Auto"), kAutoTag);
    }
    for (int tag = 0; tag < titles.size(); ++tag) {
        box->addItem(titles.at(tag), tag);
    }
    connect(box, &QComboBox::activated, this, [this, box] { changingPopUp(box); });
    return box;
}

QCheckBox* VueCtrlrReglage::checkBox(const QString& identifier, const QString& title) {
    auto* box = new QCheckBox(title);
    box->setObjectName(identifier);
    connect(box, &QCheckBox::clicked, this, [this, box] { checkingBox(box); });
    return box;
}

QWidget* VueCtrlrReglage::buildOptions() {
    m_preserveDateCheckBox =
        checkBox(QStringLiteral("preserveDate"), tr("Keep the modification date"));
    m_effacerOriginalCheckBox =
        checkBox(QStringLiteral("effacerOriginal"), tr("Delete the original once converted"));
    // In the order of ExistingOutput.
    m_existantPopUp =
        popup(QStringLiteral("sortieExistante"),
              {tr("Report an error"), tr("Replace"), tr("Update if the source changed")}, false);
    m_existantPopUp->setToolTip(
        tr("What to do with an output that already exists; updating converts again only what "
           "changed since the last pass and rewrites only the tags when only they changed"));
    m_copierCompagnonsCheckBox =
        checkBox(QStringLiteral("copierCompagnons"), tr("Also copy images and booklets"));
    m_motifsCompagnonsTextField->setObjectName(QStringLiteral("motifsCompagnons"));
    m_motifsCompagnonsTextField->setToolTip(
        tr("Names of the files copied beside the outputs, separated by spaces"));
    connect(m_motifsCompagnonsTextField, &QLineEdit::editingFinished, this, [this] {
        m_core.settings().setValue(Settings::companionPatterns,
                                   m_motifsCompagnonsTextField->text().simplified());
    });
    m_corbeilleOrphelinsCheckBox =
        checkBox(QStringLiteral("corbeilleOrphelins"),
                 tr("Move to the trash the outputs whose source is gone"));
    auto* options = new QGroupBox(tr("Options"));
    auto* optionsLayout = new QVBoxLayout(options);
    // In the order of the setting: automatic, always, never.
    m_nomsCompatiblesPopUp =
        popup(QStringLiteral("nomsCompatibles"), {tr("Auto"), tr("Always"), tr("Never")}, false);
    m_nomsCompatiblesPopUp->setToolTip(
        tr("Names that USB sticks, car stereos and Windows shares take; Auto when the chosen "
           "folder is on such a file system"));
    auto* existing = new QFormLayout;
    existing->addRow(tr("Existing files:"), m_existantPopUp);
    existing->addRow(tr("Compatible file names (USB sticks, Windows):"), m_nomsCompatiblesPopUp);
    optionsLayout->addLayout(existing);
    auto* companions = new QHBoxLayout;
    companions->addWidget(m_copierCompagnonsCheckBox);
    companions->addWidget(m_motifsCompagnonsTextField, 1);
    optionsLayout->addLayout(companions);
    for (QCheckBox* box :
         {m_corbeilleOrphelinsCheckBox, m_effacerOriginalCheckBox, m_preserveDateCheckBox}) {
        optionsLayout->addWidget(box);
    }
    m_fichierPochetteCheckBox = checkBox(QStringLiteral("fichierPochette"),
                                         tr("Also write cover.jpg in each output folder"));
    optionsLayout->addWidget(m_fichierPochetteCheckBox);
    m_imagesEntieresCheckBox =
        checkBox(QStringLiteral("imagesEntieres"), tr("Convert disc images whole"));
    m_imagesEntieresCheckBox->setToolTip(
        tr("A FLAC disc image with its cue sheet is added as one file instead of its tracks"));
    m_silencesPopUp =
        popup(QStringLiteral("silencesEntrePistes"),
              {tr("At the end of the track before"), tr("At the start of their track")}, false);
    m_silencesPopUp->setToolTip(tr("Where the silence before a track of a disc image goes; "
                                   "applies to the images added from now on"));
    optionsLayout->addWidget(m_imagesEntieresCheckBox);
    auto* gaps = new QFormLayout;
    gaps->addRow(tr("Gaps between tracks:"), m_silencesPopUp);
    optionsLayout->addLayout(gaps);
    return options;
}

QWidget* VueCtrlrReglage::buildSettings() {
    QStringList formats;
    for (const OutputCodec& codec : OutputCodec::all()) {
        formats << tr(codec.popupText);
    }
    m_formatConversionPopUp = popup(QStringLiteral("conversionFormat"), formats, false);
    m_frequenceEchantillonPopUp = popup(QStringLiteral("conversionFrequence"),
                                        {tr("11.025 kHz"), tr("16 kHz"), tr("32 kHz"),
                                         tr("44.1 kHz"), tr("48 kHz"), tr("96 kHz"), tr("192 kHz")},
                                        true);
    // Filled with the chosen codec's qualities (see showQualities).
    m_qualitePopUp = popup(QStringLiteral("conversionQualite"), {}, false);
    QStringList levels;
    for (const qint64 level : Settings::compressionLevels()) {
        levels << QString::number(level);
    }
    m_compressionPopUp = popup(QStringLiteral("conversionCompression"), levels, true);
    m_canauxPopUp = popup(QStringLiteral("conversionCanaux"), {tr("Mono"), tr("Stereo")}, true);
    QStringList jobs;
    for (const qint64 count : Settings::jobCounts()) {
        jobs << QString::number(count);
    }
    m_jobsPopUp = popup(QStringLiteral("conversionsSimultanees"), jobs, true);
    m_jobsPopUp->setToolTip(
        tr("How many files are converted at the same time; Auto uses one per processor core"));
    m_qualitePopUp->setToolTip(tr("Each lossy format keeps its own quality"));
    m_compressionPopUp->setToolTip(
        tr("Compression level passed to the flac program; decoding gives the same audio at "
           "every level"));
    m_canauxPopUp->setToolTip(tr("The output is mixed down or up to this channel count"));

    auto* format = new QGroupBox(tr("Output"));
    auto* formatLayout = new QFormLayout(format);
    formatLayout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    formatLayout->addRow(tr("Format:"), m_formatConversionPopUp);
    formatLayout->addRow(tr("Sample rate:"), m_frequenceEchantillonPopUp);
    // Tags in the order of Settings::maxSampleRates() and maxBitsPerSample().
    m_frequenceMaxPopUp =
        popup(QStringLiteral("frequenceMaximale"),
              {tr("Original"), tr("192 kHz"), tr("96 kHz"), tr("48 kHz"), tr("44.1 kHz")}, false);
    m_frequenceMaxPopUp->setToolTip(
        tr("A source above this rate goes to the highest rate of its own family below it "
           "(44.1, 88.2 or 48, 96 kHz); one below it is left as it is"));
    formatLayout->addRow(tr("Highest sample rate:"), m_frequenceMaxPopUp);
    m_resolutionMaxPopUp = popup(QStringLiteral("resolutionMaximale"),
                                 {tr("Original"), tr("24 bits"), tr("16 bits")}, false);
    m_resolutionMaxPopUp->setToolTip(
        tr("Lossless outputs of deeper sources are brought to this depth with triangular dither"));
    formatLayout->addRow(tr("Highest bit depth:"), m_resolutionMaxPopUp);
    formatLayout->addRow(tr("Quality:"), m_qualitePopUp);
    formatLayout->addRow(tr("Channels:"), m_canauxPopUp);
    formatLayout->addRow(tr("flac level (no effect on the sound):"), m_compressionPopUp);
    formatLayout->addRow(tr("Simultaneous conversions:"), m_jobsPopUp);
    // Tag 0 is version 2.4, tag 1 version 2.3.
    m_id3PopUp = popup(QStringLiteral("versionId3"), {tr("2.4"), tr("2.3")}, false);
    m_id3PopUp->setToolTip(tr("The ID3 version of MP3 and AIFF files; older car stereos and "
                              "Windows Explorer read only 2.3"));
    formatLayout->addRow(tr("ID3 tags version:"), m_id3PopUp);
    QStringList sides = {tr("Original")};
    for (const qint64 side : CoverSizing::limits().mid(1)) {
        sides << tr("%1 px").arg(side);
    }
    // Tags in the order of CoverSizing::limits().
    m_pochettePopUp = popup(QStringLiteral("pochetteTailleMax"), sides, false);
    m_pochettePopUp->setToolTip(tr("A larger cover is scaled down to this size as a baseline "
                                   "JPEG; many car stereos show no larger picture"));
    formatLayout->addRow(tr("Largest cover:"), m_pochettePopUp);
    // Tags in the order of ReplayGainMode, then of ApplyGain.
    m_volumePopUp = popup(QStringLiteral("volumeReplayGain"),
                          {tr("Copy the source's"), tr("Measure"), tr("Write none")}, false);
    m_volumePopUp->setToolTip(
        tr("Measure computes each track's and each album's loudness (ReplayGain 2.0, true "
           "peak) from the audio the conversion reads"));
    formatLayout->addRow(tr("Loudness (ReplayGain):"), m_volumePopUp);
    m_appliquerVolumePopUp = popup(QStringLiteral("appliquerVolume"),
                                   {tr("No"), tr("Track loudness"), tr("Album loudness")}, false);
    m_appliquerVolumePopUp->setToolTip(
        tr("Lossy outputs are made louder or quieter by the gain, never so much that they clip, "
           "for players that ignore ReplayGain"));
    formatLayout->addRow(tr("Apply the loudness to the audio:"), m_appliquerVolumePopUp);

    auto* destination = new QGroupBox(tr("Destination"));
    auto* grid = new QGridLayout(destination);
    const QStringList choices = {tr("Beside the source file"), tr("In a sub-folder:"),
                                 tr("In the folder:"),
                                 tr("In the folder, keeping the folder tree")};
    for (int tag = 0; tag < choices.size(); ++tag) {
        auto* radio = new QRadioButton(choices.at(tag));
        radio->setObjectName(QStringLiteral("destination%1").arg(tag));
        m_folderRadioMatrix->addButton(radio, tag);
        // The tree choice has no field beside it: its long title spans the
        // row, so the fields keep their width.
        grid->addWidget(radio, tag, 0, 1, tag == 3 ? 3 : 1);
    }
    connect(m_folderRadioMatrix, &QButtonGroup::idClicked, this,
            [this] { changerDestinationRadio(); });
    m_autoFolderTextField->setObjectName(QStringLiteral("autoFolderName"));
    connect(m_autoFolderTextField, &QLineEdit::editingFinished, this,
            &VueCtrlrReglage::controlTextDidEndEditing);
    grid->addWidget(m_autoFolderTextField, 1, 1, 1, 2);
    m_labelCustomFolder->setObjectName(QStringLiteral("labelCustomFolder"));
    m_labelCustomFolder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    grid->addWidget(m_labelCustomFolder, 2, 1);
    m_customFolderChooseBout->setObjectName(QStringLiteral("customFolderChooseBout"));
    connect(m_customFolderChooseBout, &QPushButton::clicked, this,
            &VueCtrlrReglage::chooseCustomFolder);
    grid->addWidget(m_customFolderChooseBout, 2, 2);
    m_nommerSelonTagsCheckBox =
        checkBox(QStringLiteral("nommerSelonTags"), tr("Name from the tags:"));
    m_nommerSelonTagsCheckBox->setToolTip(
        tr("Fields: %1; a / makes a folder").arg(DestinationPattern::fields().join(' ')));
    grid->addWidget(m_nommerSelonTagsCheckBox, 4, 0);
    m_motifTextField->setObjectName(QStringLiteral("destinationMotif"));
    m_motifTextField->setToolTip(m_nommerSelonTagsCheckBox->toolTip());
    connect(m_motifTextField, &QLineEdit::textEdited, this, &VueCtrlrReglage::changerMotif);
    grid->addWidget(m_motifTextField, 4, 1);
    grid->addWidget(buildFieldsButton(), 4, 2);
    m_labelExempleAutoFolder->setObjectName(QStringLiteral("labelExempleAutoFolder"));
    m_labelExempleAutoFolder->setWordWrap(true);
    m_labelExempleAutoFolder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    grid->addWidget(m_labelExempleAutoFolder, 5, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    QWidget* options = buildOptions();

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(8, 8, 8, 4);
    layout->addWidget(format);
    layout->addWidget(destination);
    layout->addWidget(options);
    layout->addStretch(1);
    return content;
}

QWidget* VueCtrlrReglage::buildControls() {
    m_startBouton->setObjectName(QStringLiteral("startBouton"));
    m_stopBouton->setObjectName(QStringLiteral("stopBouton"));
    m_startBouton->setDefault(true);
    m_startBouton->setEnabled(false);
    m_stopBouton->setEnabled(false);
    connect(m_startBouton, &QPushButton::clicked, this, &VueCtrlrReglage::startConversion);
    connect(m_stopBouton, &QPushButton::clicked, this, &VueCtrlrReglage::stopConversion);
    m_roulette->setObjectName(QStringLiteral("roulette"));
    m_roulette->setRange(0, 0);
    m_roulette->setTextVisible(false);
    m_roulette->setMaximumHeight(m_startBouton->sizeHint().height() / 2);
    setSpinning(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_startBouton);
    buttons->addWidget(m_stopBouton);
    buttons->addWidget(m_roulette, 1);
    m_messageLabel->setObjectName(QStringLiteral("messageLabel"));
    m_messageLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_messageLabel->setText(QStringLiteral("Ajoutez des fichiers à convertir ->"));
    m_messageLabel->setFrameShape(QFrame::StyledPanel);
    m_messageLabel->setMargin(4);

    auto* controls = new QWidget;
    auto* layout = new QVBoxLayout(controls);
    layout->setContentsMargins(8, 4, 8, 0);
    layout->addLayout(buttons);
    layout->addWidget(m_messageLabel);
    return controls;
}

void VueCtrlrReglage::setSpinning(bool spinning) {
    m_roulette->setVisible(spinning);
}

ConversionControleur* VueCtrlrReglage::_convertisseur() const {
    return m_core.controleur();
}

GestionnairePileFichier* VueCtrlrReglage::_pileFichiers() const {
    return m_core.queue();
}

GestionnairePileFichier* VueCtrlrReglage::pileWithoutPass() const {
    // A pass converts with the settings it started with; the next pass
    // works the destinations out again.
    const ConversionControleur* controleur = _convertisseur();
    return controleur != nullptr && controleur->isRunning() ? nullptr : _pileFichiers();
}

bool VueCtrlrReglage::hasReadyFiles() const {
    // Start is offered whenever a pass would convert something: files that
    // failed, were stopped or were reset, not only files never converted.
    const GestionnairePileFichier* pile = _pileFichiers();
    return pile != nullptr && pile->countOfFichiersAConvertir() != 0;
}

CodecQuality::Family VueCtrlrReglage::chosenFamily() const {
    return CodecQuality::familyOf(m_core.settings().value(Settings::codec));
}

QString VueCtrlrReglage::qualityTitle(const QString& quality) {
    const int level = CodecQuality::level(quality);
    const int kilobits = CodecQuality::averageKilobits(quality);
    if (quality.startsWith(QLatin1Char('V'))) {
        return tr("VBR V%1 (about %2 kbit/s)").arg(level).arg(kilobits);
    }
    if (quality.startsWith(QLatin1Char('q'))) {
        return tr("Quality %1 (about %2 kbit/s)").arg(level).arg(kilobits);
    }
    return tr("%1 kbit/s").arg(kilobits);
}

void VueCtrlrReglage::showQualities() {
    const CodecQuality::Family family = chosenFamily();
    const QStringList choices = CodecQuality::choices(family);
    m_qualitePopUp->clear();
    for (int tag = 0; tag < choices.size(); ++tag) {
        const bool constant =
            family == CodecQuality::Family::Mp3 && CodecQuality::bitRate(choices[tag]) > 0;
        m_qualitePopUp->addItem(constant ? tr("CBR %1").arg(qualityTitle(choices[tag]))
                                         : qualityTitle(choices[tag]),
                                tag);
    }
    if (choices.isEmpty()) {
        m_qualitePopUp->addItem(tr("Lossless"), kAutoTag);
    }
    m_qualitePopUp->setEnabled(!choices.isEmpty());
    selectTag(m_qualitePopUp, choices.isEmpty()
                                  ? kAutoTag
                                  : int(choices.indexOf(m_core.settings().quality(family))));
    // Opus is always 48 kHz.
    const OutputCodec* codec = OutputCodec::find(m_core.settings().value(Settings::codec));
    const bool fixedRate = codec != nullptr && codec->onlySampleRate > 0;
    m_frequenceEchantillonPopUp->setEnabled(!fixedRate);
    m_frequenceEchantillonPopUp->setToolTip(
        fixedRate ? tr("%1 is always written at %2 kHz")
                        .arg(tr(codec->popupText))
                        .arg(codec->onlySampleRate / 1000)
                  : tr("The output is converted to this sample rate"));
}

void VueCtrlrReglage::selectTag(QComboBox* popup, int tag) {
    popup->setCurrentIndex(popup->findData(tag));
}

void VueCtrlrReglage::selectPlaceOf(QComboBox* popup, qint64 value, const QList<qint64>& values) {
    selectTag(popup, int(std::max<qsizetype>(0, values.indexOf(value))));
}

void VueCtrlrReglage::selectNumericTag(QComboBox* popup, const Setting<qint64>& setting,
                                       const QList<qint64>& values) {
    const qint64 value = m_core.settings().value(setting);
    if (value >= 0 && !values.contains(value)) {
        popup->setCurrentIndex(-1);
        return;
    }
    selectTag(popup, value < 0 ? kAutoTag : int(values.indexOf(value)));
}

void VueCtrlrReglage::enableDestinationControls(int type) {
    const bool chosenFolder = type == 2 || type == 3;
    m_autoFolderTextField->setEnabled(type == 1);
    m_customFolderChooseBout->setEnabled(chosenFolder);
    m_nommerSelonTagsCheckBox->setEnabled(chosenFolder);
    m_motifTextField->setEnabled(chosenFolder && m_nommerSelonTagsCheckBox->isChecked());
    // Companions go beside outputs of a mirrored tree; pruning looks in the
    // chosen folder alone.
    m_copierCompagnonsCheckBox->setEnabled(type == 3);
    m_motifsCompagnonsTextField->setEnabled(type == 3);
    m_corbeilleOrphelinsCheckBox->setEnabled(chosenFolder);
}

void VueCtrlrReglage::showExistingOutputChoice() {
    selectTag(m_existantPopUp, int(m_core.settings().resolvedExistingOutput()));
}

void VueCtrlrReglage::changerMotif(const QString& pattern) {
    m_core.settings().setValue(Settings::namingPattern, pattern);
    // A key typed never walks the list: the example's file and the selected
    // ones now, every file when a pass starts.
    refreshShownDestinations();
}

void VueCtrlrReglage::viewDidLoad() {
    const Settings& settings = m_core.settings();
    m_preserveDateCheckBox->setChecked(settings.value(Settings::preserveDate));
    m_autoFolderTextField->setText(settings.value(Settings::subfolderName));
    const int type = int(settings.value(Settings::destinationKind));
    if (QAbstractButton* radio = m_folderRadioMatrix->button(type)) {
        radio->setChecked(true);
    }
    m_nommerSelonTagsCheckBox->setChecked(settings.value(Settings::nameByTags));
    m_motifTextField->setText(settings.value(Settings::namingPattern));
    enableDestinationControls(type);
    _updateExemple();
    const QString chosen = settings.value(Settings::chosenFolder);
    m_labelCustomFolder->setText(UserDefaults::abbreviateHome(chosen));
    m_labelCustomFolder->setToolTip(chosen);
    showExistingOutputChoice();
    m_copierCompagnonsCheckBox->setChecked(settings.value(Settings::copyCompanions));
    m_motifsCompagnonsTextField->setText(settings.value(Settings::companionPatterns));
    m_corbeilleOrphelinsCheckBox->setChecked(settings.value(Settings::pruneOrphans));
    m_imagesEntieresCheckBox->setChecked(settings.value(Settings::wholeImages));
    selectTag(m_silencesPopUp, settings.value(Settings::pregapsWithTheirTracks) ? 1 : 0);
    selectTag(m_id3PopUp, settings.value(Settings::id3Version) == 3 ? 1 : 0);
    selectTag(m_volumePopUp, int(settings.value(Settings::replayGain)));
    selectTag(m_appliquerVolumePopUp, int(settings.value(Settings::applyGain)));
    selectTag(m_nomsCompatiblesPopUp, int(settings.value(Settings::portableNames)));
    selectPlaceOf(m_pochettePopUp, settings.value(Settings::coverMaxSide), CoverSizing::limits());
    m_fichierPochetteCheckBox->setChecked(settings.value(Settings::coverFile));
    m_effacerOriginalCheckBox->setChecked(settings.value(Settings::deleteSource));
    selectTag(m_formatConversionPopUp, int(codecs().indexOf(settings.value(Settings::codec))));
    selectNumericTag(m_frequenceEchantillonPopUp, Settings::sampleRate, Settings::sampleRates());
    showQualities();
    selectPlaceOf(m_frequenceMaxPopUp, settings.value(Settings::maxSampleRate),
                  Settings::maxSampleRates());
    selectPlaceOf(m_resolutionMaxPopUp, settings.value(Settings::maxBits),
                  Settings::maxBitsPerSample());
    selectNumericTag(m_compressionPopUp, Settings::compression, Settings::compressionLevels());
    selectNumericTag(m_canauxPopUp, Settings::channels, Settings::channelCounts());
    const qint64 jobsSetting = settings.value(Settings::simultaneousConversions);
    selectTag(m_jobsPopUp,
              jobsSetting <= 0 ? kAutoTag : int(Settings::jobCounts().indexOf(jobsSetting)));
}

void VueCtrlrReglage::refreshDestinations() {
    GestionnairePileFichier* pile = pileWithoutPass();
    if (pile == nullptr) {
        return;
    }
    pile->setDestinationRules(m_core.settings().destinationRules());
    _updateExemple();
}

void VueCtrlrReglage::refreshShownDestinations() {
    GestionnairePileFichier* pile = pileWithoutPass();
    if (pile == nullptr) {
        return;
    }
    pile->adoptDestinationRules(m_core.settings().destinationRules());
    constexpr qsizetype kShownAtMost = 200;
    for (const qint64 row : m_selectedRows.mid(0, kShownAtMost)) {
        if (const FichierAudioPtr file = pile->fichierAt(row)) {
            file->freshDestinationURL();
        }
    }
    if (const FichierAudioPtr first = pile->fichierCourant()) {
        first->freshDestinationURL();
    }
    _updateExemple();
}

void VueCtrlrReglage::changingPopUp(QComboBox* sender) {
    Settings& settings = m_core.settings();
    const QString identifier = sender->objectName();
    const int tag = sender->currentData().toInt();
    const auto store = [&](const Setting<qint64>& setting, const QList<qint64>& values) {
        settings.setValue(setting, tag < 0 || tag >= values.size() ? qint64(-1) : values.at(tag));
    };
    if (identifier == QLatin1String("conversionFormat")) {
        const QString codec = codecs().value(tag);
        if (codec.isEmpty()) {
            return;
        }
        // A sub-folder named after the old codec follows the codec; one the
        // user typed does not.
        if (settings.value(Settings::codec) == settings.value(Settings::subfolderName)) {
            settings.setValue(Settings::subfolderName, codec);
            m_autoFolderTextField->setText(codec);
        }
        settings.setValue(Settings::codec, codec);
        showQualities();
        refreshDestinations();
    } else if (identifier == QLatin1String("conversionFrequence")) {
        store(Settings::sampleRate, Settings::sampleRates());
    } else if (identifier == QLatin1String("frequenceMaximale")) {
        settings.setValue(Settings::maxSampleRate, Settings::maxSampleRates().value(tag, 0));
    } else if (identifier == QLatin1String("resolutionMaximale")) {
        settings.setValue(Settings::maxBits, Settings::maxBitsPerSample().value(tag, 0));
    } else if (identifier == QLatin1String("conversionQualite")) {
        const CodecQuality::Family family = chosenFamily();
        if (const Setting<QString>* setting = Settings::qualitySetting(family)) {
            settings.setValue(*setting, CodecQuality::choices(family).value(tag));
        }
    } else if (identifier == QLatin1String("conversionCompression")) {
        store(Settings::compression, Settings::compressionLevels());
    } else if (identifier == QLatin1String("conversionCanaux")) {
        store(Settings::channels, Settings::channelCounts());
    } else if (identifier == QLatin1String("nomsCompatibles")) {
        settings.setValue(Settings::portableNames, qint64(tag));
        refreshDestinations();
    } else if (identifier == QLatin1String("pochetteTailleMax")) {
        settings.setValue(Settings::coverMaxSide, CoverSizing::limits().value(tag, 0));
    } else if (identifier == QLatin1String("volumeReplayGain")) {
        settings.setValue(Settings::replayGain, qint64(tag));
    } else if (identifier == QLatin1String("appliquerVolume")) {
        settings.setValue(Settings::applyGain, qint64(tag));
    } else if (identifier == QLatin1String("versionId3")) {
        settings.setValue(Settings::id3Version, qint64(tag == 1 ? 3 : 4));
    } else if (identifier == QLatin1String("silencesEntrePistes")) {
        settings.setValue(Settings::pregapsWithTheirTracks, tag == 1);
    } else if (identifier == QLatin1String("sortieExistante")) {
        settings.setValue(Settings::existingOutput, ExistingOutput(tag));
    } else if (identifier == QLatin1String("conversionsSimultanees")) {
        // Auto is 0: one conversion per core.
        settings.setValue(Settings::simultaneousConversions,
                          tag < 0 || tag >= Settings::jobCounts().size()
                              ? qint64(0)
                              : Settings::jobCounts().at(tag));
    } else {
        Log::write(QStringLiteral("Identifier %1 inconnu").arg(identifier));
    }
}

void VueCtrlrReglage::checkingBox(QCheckBox* sender) {
    Settings& settings = m_core.settings();
    const QString identifier = sender->objectName();
    const bool on = sender->isChecked();
    if (identifier == QLatin1String("preserveDate")) {
        settings.setValue(Settings::preserveDate, on);
    } else if (identifier == QLatin1String("copierCompagnons")) {
        settings.setValue(Settings::copyCompanions, on);
    } else if (identifier == QLatin1String("corbeilleOrphelins")) {
        settings.setValue(Settings::pruneOrphans, on);
    } else if (identifier == QLatin1String("fichierPochette")) {
        settings.setValue(Settings::coverFile, on);
    } else if (identifier == QLatin1String("imagesEntieres")) {
        settings.setValue(Settings::wholeImages, on);
    } else if (identifier == QLatin1String("effacerOriginal")) {
        settings.setValue(Settings::deleteSource, on);
    } else if (identifier == QLatin1String("nommerSelonTags")) {
        settings.setValue(Settings::nameByTags, on);
        enableDestinationControls(m_folderRadioMatrix->checkedId());
        showExistingOutputChoice();
        refreshDestinations();
    } else {
        Log::write(QStringLiteral("identifier %1 inconnu").arg(identifier));
    }
}

void VueCtrlrReglage::changerDestinationRadio() {
    const int type = m_folderRadioMatrix->checkedId();
    m_core.settings().setValue(Settings::destinationKind, DestinationKind(type));
    enableDestinationControls(type);
    showExistingOutputChoice();
    refreshDestinations();
}

void VueCtrlrReglage::controlTextDidEndEditing() {
    if (m_autoFolderTextField->objectName() != QLatin1String("autoFolderName")) {
        return;
    }
    m_core.settings().setValue(Settings::subfolderName, m_autoFolderTextField->text());
    refreshDestinations();
    _updateExemple();
}

void VueCtrlrReglage::chooseCustomFolder() {
    auto* panel = new QFileDialog(window(), tr("Choose the destination folder"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setFileMode(QFileDialog::Directory);
    panel->setOption(QFileDialog::ShowDirsOnly, true);
    panel->setDirectory(m_core.settings().value(Settings::chosenFolder));
    connect(panel, &QFileDialog::finished, this, [this, panel](int result) {
        _userChoosedFolderWithPanel(result, panel->selectedFiles().value(0));
    });
    panel->open();
}

void VueCtrlrReglage::_userChoosedFolderWithPanel(int result, const QString& path) {
    if (result != QDialog::Accepted || path.isEmpty()) {
        return;
    }
    m_core.settings().setValue(Settings::chosenFolder, path);
    m_labelCustomFolder->setText(UserDefaults::abbreviateHome(path));
    m_labelCustomFolder->setToolTip(path);
    refreshDestinations();
}

QString VueCtrlrReglage::_pathExample() const {
    const GestionnairePileFichier* pile = _pileFichiers();
    // The file the user selected, else the one the next pass starts with.
    FichierAudioPtr current;
    if (pile != nullptr) {
        current = m_selectedRows.size() == 1 ? pile->fichierAt(m_selectedRows.first())
                                             : pile->fichierCourant();
    }
    const PersistentURLPtr destination = current ? current->destinationURL() : nullptr;
    return destination ? destination->path() : QStringLiteral("-");
}

QToolButton* VueCtrlrReglage::buildFieldsButton() {
    m_fieldsButton = new QToolButton;
    m_fieldsButton->setObjectName(QStringLiteral("patternFields"));
    m_fieldsButton->setText(tr("Fields"));
    m_fieldsButton->setToolTip(tr("Insert a field into the pattern"));
    m_fieldsButton->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(m_fieldsButton);
    for (const QString& field : DestinationPattern::fields()) {
        menu->addAction(field, this, [this, field] {
            m_motifTextField->insert(field);
            m_motifTextField->setFocus();
            changerMotif(m_motifTextField->text());
        });
    }
    m_fieldsButton->setMenu(menu);
    return m_fieldsButton;
}

void VueCtrlrReglage::_updateExemple() {
    // A word between % signs that is no field would be written as it is.
    const QStringList unknown =
        m_nommerSelonTagsCheckBox != nullptr && m_nommerSelonTagsCheckBox->isChecked()
            ? DestinationPattern::unknownFields(m_motifTextField->text())
            : QStringList();
    if (!unknown.isEmpty()) {
        const QString warning = QStringLiteral("%1 %2 : les champs sont %3")
                                    .arg(unknown.size() == 1 ? QStringLiteral("Champ inconnu")
                                                             : QStringLiteral("Champs inconnus"),
                                         unknown.join(QLatin1Char(' ')),
                                         DestinationPattern::fields().join(QLatin1Char(' ')));
        m_labelExempleAutoFolder->setText(warning);
        m_labelExempleAutoFolder->setToolTip(warning);
        m_labelExempleAutoFolder->setStyleSheet(QStringLiteral("color: #c0392b;"));
        return;
    }
    const QString example = _pathExample();
    m_labelExempleAutoFolder->setStyleSheet(QString());
    m_labelExempleAutoFolder->setText(
        QStringLiteral("Exemple : %1").arg(UserDefaults::abbreviateHome(example)));
    m_labelExempleAutoFolder->setToolTip(example);
}

void VueCtrlrReglage::startConversion() {
    setSpinning(true);
    m_startBouton->setEnabled(false);
    m_stopBouton->setEnabled(true);
    if (ConversionControleur* controleur = _convertisseur()) {
        controleur->setDelegate(this);
        controleur->demarrerLaConversion();
    }
    echoUserMessage(QStringLiteral("Conversion ...."));
}

void VueCtrlrReglage::stopConversion() {
    QString said = QStringLiteral("Conversion Terminée");
    if (ConversionControleur* controleur = _convertisseur()) {
        controleur->arreterLaConversion();
        controleur->setDelegate(nullptr);
        said = stoppedMessage(controleur->passConverted());
    }
    afterStopUIupdate();
    echoUserMessage(said);
}

QString VueCtrlrReglage::stoppedMessage(int converted) const {
    const GestionnairePileFichier* pile = _pileFichiers();
    const qint64 left = pile != nullptr ? pile->countOfFichiersAConvertir() : 0;
    return QStringLiteral("Conversion arrêtée : %1, %2")
        .arg(converted == 1 ? QStringLiteral("1 converti")
                            : QStringLiteral("%1 convertis").arg(converted),
             left == 1 ? QStringLiteral("1 reste") : QStringLiteral("%1 restent").arg(left));
}

void VueCtrlrReglage::afterStopUIupdate() {
    m_startBouton->setEnabled(hasReadyFiles());
    m_stopBouton->setEnabled(false);
    setSpinning(false);
    echoUserMessage(QStringLiteral("Conversion Terminée"));
    if (m_filez != nullptr) {
        m_filez->resetBarreDeProgres();
        m_filez->raffraichirTableau();
    }
}

void VueCtrlrReglage::updateUIavecControleur(ConversionControleur* controleur) {
    VueCtrlrFilez* list = m_filez;
    switch (controleur->statusConvertisseur()) {
    case kStatusConvertisseurArrete:
        setSpinning(false);
        m_startBouton->setEnabled(hasReadyFiles());
        m_stopBouton->setEnabled(false);
        if (list != nullptr) {
            list->updateUIavecControleur(controleur);
        }
        emit passEnded(controleur->passConverted(), controleur->passFailed());
        break;
    case kStatusConvertisseurFini:
        Log::write(QStringLiteral("updateUIavecControleur reglage fini "));
        afterStopUIupdate();
        break;
    default:
        m_startBouton->setEnabled(false);
        m_stopBouton->setEnabled(true);
        if (list != nullptr) {
            list->updateUIavecControleur(controleur);
        }
        echoUserMessage(controleur->passMessage());
        break;
    }
}

void VueCtrlrReglage::fichierChange(ConversionControleur*, const FichierAudioPtr&) {
    // The list hears of each file from the controller itself.
}

void VueCtrlrReglage::fichierTermine(ConversionControleur*, const FichierAudioPtr&) {}

void VueCtrlrReglage::echoUserMessage(const QString& message) {
    const QString text = messageOrDash(message);
    m_messageLabel->setText(text);
    m_messageLabel->setToolTip(text);
    emit messageShown(text);
}

void VueCtrlrReglage::laListeContientDesFichiers(bool contientDesFichiers) {
    bool ready = false;
    if (contientDesFichiers) {
        _updateExemple();
        ready = hasReadyFiles();
    }
    m_stopBouton->setEnabled(false);
    echoUserMessage(ready ? QStringLiteral("<- Vous pouvez lancer la Conversion")
                          : QStringLiteral("Ajoutez des fichiers à convertir ->"));
    m_startBouton->setEnabled(ready);
}

void VueCtrlrReglage::setSelectionFichiers(const QList<qint64>& rows) {
    m_selectedRows = rows;
    _updateExemple();
    m_infofileVC->setFichierActif(MultiFichierAudio::multiFlacAvecSelection(*m_core.queue(), rows));
    m_infofileVC->refreshContent();
}
