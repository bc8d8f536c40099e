#pragma once

#include "conversion/ConvertisseurUIDelegate.h"
#include "conversion/MessageSink.h"
#include "model/Settings.h"

#include <QList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class GestionnairePileFichier;
class VueCtrlrFilez;
class VueCtrlrInfoFile;
class Core;

// The settings pane: output format and conversions, destination, options,
// the start and stop buttons with their spinner and message line. It holds
// the information view of the selected files, which the window shows under
// the list. Every change is written to the
// settings at once. It follows the conversion controller as its delegate and
// shows every message of the engine.
class VueCtrlrReglage : public QWidget, public MessageSink, public ConvertisseurUIDelegate {
    Q_OBJECT
public:
    // The core is open: its queue, controller and settings are there.
    explicit VueCtrlrReglage(Core& core, QWidget* parent = nullptr);
    // The file list beside it, which follows the pass and shows the example's file.
    void setListView(VueCtrlrFilez* list) { m_filez = list; }

    // The values each popup's tags stand for, in tag order.
    static const QStringList& codecs();

    void viewDidLoad();
    void changingPopUp(QComboBox* sender);
    void checkingBox(QCheckBox* sender);
    void changerDestinationRadio();
    void controlTextDidEndEditing();
    void chooseCustomFolder();
    void _userChoosedFolderWithPanel(int result, const QString& path);
    QString _pathExample() const;
    void _updateExemple();
    QToolButton* buildFieldsButton();
    // Works out again the destinations of the files the view shows.
    void refreshShownDestinations();
    void startConversion();
    void stopConversion();
    // "Conversion arrêtée : 3 convertis, 12 restent"
    QString stoppedMessage(int converted) const;
    void afterStopUIupdate();

    void updateUIavecControleur(ConversionControleur* controleur) override;
    // Rows follow their files' statuses one by one.
    void fichierChange(ConversionControleur* controleur, const FichierAudioPtr& fichier) override;
    void fichierTermine(ConversionControleur* controleur, const FichierAudioPtr& fichier) override;
    void echoUserMessage(const QString& message) override;
    void laListeContientDesFichiers(bool contientDesFichiers);
    void setSelectionFichiers(const QList<qint64>& rows);
    QSize preferredMinimumSize() const { return QSize(370, 400); }

    QPushButton* startBouton() const { return m_startBouton; }
    QPushButton* stopBouton() const { return m_stopBouton; }
    QProgressBar* roulette() const { return m_roulette; }
    QLabel* messageLabel() const { return m_messageLabel; }
    QComboBox* formatConversionPopUp() const { return m_formatConversionPopUp; }
    QComboBox* frequenceEchantillonPopUp() const { return m_frequenceEchantillonPopUp; }
    // The chosen lossy codec's quality.
    QComboBox* qualitePopUp() const { return m_qualitePopUp; }
    // Only lower: the highest sample rate and bit depth.
    QComboBox* frequenceMaxPopUp() const { return m_frequenceMaxPopUp; }
    QComboBox* resolutionMaxPopUp() const { return m_resolutionMaxPopUp; }
    QComboBox* compressionPopUp() const { return m_compressionPopUp; }
    QComboBox* canauxPopUp() const { return m_canauxPopUp; }
    QComboBox* jobsPopUp() const { return m_jobsPopUp; }
    QCheckBox* preserveDateCheckBox() const { return m_preserveDateCheckBox; }
    QCheckBox* effacerOriginalCheckBox() const { return m_effacerOriginalCheckBox; }
    // Existing outputs: an error, replaced, or brought up to date.
    QComboBox* existantPopUp() const { return m_existantPopUp; }
    QCheckBox* copierCompagnonsCheckBox() const { return m_copierCompagnonsCheckBox; }
    QLineEdit* motifsCompagnonsTextField() const { return m_motifsCompagnonsTextField; }
    QCheckBox* corbeilleOrphelinsCheckBox() const { return m_corbeilleOrphelinsCheckBox; }
    // Disc images with a cue sheet: split into tracks or not, and where the
    // silence between tracks goes.
    QCheckBox* imagesEntieresCheckBox() const { return m_imagesEntieresCheckBox; }
    QComboBox* silencesPopUp() const { return m_silencesPopUp; }
    QComboBox* id3PopUp() const { return m_id3PopUp; }
    QComboBox* pochettePopUp() const { return m_pochettePopUp; }
    // Where ReplayGain values come from, and which gain scales lossy audio.
    QComboBox* volumePopUp() const { return m_volumePopUp; }
    QComboBox* appliquerVolumePopUp() const { return m_appliquerVolumePopUp; }
    QComboBox* nomsCompatiblesPopUp() const { return m_nomsCompatiblesPopUp; }
    QCheckBox* fichierPochetteCheckBox() const { return m_fichierPochetteCheckBox; }
    QButtonGroup* folderRadioMatrix() const { return m_folderRadioMatrix; }
    QLineEdit* autoFolderTextField() const { return m_autoFolderTextField; }
    QCheckBox* nommerSelonTagsCheckBox() const { return m_nommerSelonTagsCheckBox; }
    QLineEdit* motifTextField() const { return m_motifTextField; }
    // Offers the naming pattern's fields, each inserted where the cursor is.
    QToolButton* fieldsButton() const { return m_fieldsButton; }
    // The naming pattern as the user types it.
    void changerMotif(const QString& pattern);
    QLabel* labelExempleAutoFolder() const { return m_labelExempleAutoFolder; }
    QLabel* labelCustomFolder() const { return m_labelCustomFolder; }
    QPushButton* customFolderChooseBout() const { return m_customFolderChooseBout; }
    VueCtrlrInfoFile* infofileVC() const { return m_infofileVC; }

signals:
    // Each message as the message line shows it.
    void messageShown(const QString& message);
    // A pass ran to the end of the list.
    void passEnded(int converted, int failed);

private:
    QWidget* buildSettings();
    QWidget* buildControls();
    QComboBox* popup(const QString& identifier, const QStringList& titles, bool withAuto);
    QCheckBox* checkBox(const QString& identifier, const QString& title);
    // The quality popup holds the chosen codec's qualities, and the sample
    // rate is offered only to codecs that take several.
    void showQualities();
    CodecQuality::Family chosenFamily() const;
    static QString qualityTitle(const QString& quality);
    void selectTag(QComboBox* popup, int tag);
    // A popup whose tags are the places of its values in the list: the
    // value's, or the first (Original) when the list lacks it.
    void selectPlaceOf(QComboBox* popup, qint64 value, const QList<qint64>& values);
    // Shows what existing outputs get, an automatic choice following the
    // destination.
    void showExistingOutputChoice();
    QWidget* buildOptions();
    void selectNumericTag(QComboBox* popup, const Setting<qint64>& setting,
                          const QList<qint64>& values);
    // Hands the queue the destination rules the settings now make.
    void applyDestinationRules();
    void enableDestinationControls(int type);
    void refreshDestinations();
    ConversionControleur* _convertisseur() const;
    GestionnairePileFichier* _pileFichiers() const;
    // The queue when no pass runs; none during a pass.
    GestionnairePileFichier* pileWithoutPass() const;
    bool hasReadyFiles() const;
    void setSpinning(bool spinning);

    QPushButton* m_startBouton;
    QPushButton* m_stopBouton;
    QProgressBar* m_roulette;
    QLabel* m_messageLabel;
    QComboBox* m_formatConversionPopUp;
    QComboBox* m_frequenceEchantillonPopUp;
    QComboBox* m_qualitePopUp;
    QComboBox* m_frequenceMaxPopUp;
    QComboBox* m_resolutionMaxPopUp;
    QComboBox* m_compressionPopUp;
    QComboBox* m_canauxPopUp;
    QComboBox* m_jobsPopUp;
    QCheckBox* m_preserveDateCheckBox;
    QCheckBox* m_effacerOriginalCheckBox;
    QComboBox* m_existantPopUp;
    QCheckBox* m_copierCompagnonsCheckBox;
    QLineEdit* m_motifsCompagnonsTextField;
    QCheckBox* m_corbeilleOrphelinsCheckBox;
    QCheckBox* m_imagesEntieresCheckBox;
    QComboBox* m_silencesPopUp;
    QComboBox* m_id3PopUp;
    QComboBox* m_pochettePopUp;
    QComboBox* m_volumePopUp;
    QComboBox* m_appliquerVolumePopUp;
    QComboBox* m_nomsCompatiblesPopUp;
    QCheckBox* m_fichierPochetteCheckBox;
    QButtonGroup* m_folderRadioMatrix;
    QLineEdit* m_autoFolderTextField;
    QCheckBox* m_nommerSelonTagsCheckBox;
    QLineEdit* m_motifTextField;
    QToolButton* m_fieldsButton = nullptr;
    QList<qint64> m_selectedRows;
    QLabel* m_labelExempleAutoFolder;
    QLabel* m_labelCustomFolder;
    QPushButton* m_customFolderChooseBout;
    VueCtrlrInfoFile* m_infofileVC;
    Core& m_core;
    VueCtrlrFilez* m_filez = nullptr;
};
