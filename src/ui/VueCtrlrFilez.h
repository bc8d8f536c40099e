#pragma once

#include "conversion/ConvertisseurUIDelegate.h"
#include "model/FichierAudio.h"

#include <QList>
#include <QSet>
#include <QWidget>

class ConversionControleur;
class FileAdder;
class QLabel;
class QMenu;
class QTimer;
class FileListModel;
class GestionnairePileFichier;
class PathControl;
class QComboBox;
class QProgressBar;
class QPushButton;
class QSplitter;
class QToolButton;
class TableFichiers;
class Core;
class VueCtrlrReglage;

// The file list pane: the queue with pictures, tags, sizes and status badges.
// Files and folders are added through the add button, a drop onto the list
// or a click on a folder of the path above it; files are removed, the queue
// is sorted by a click on a column header, and a pass's progress shows below.
class VueCtrlrFilez : public QWidget, public ConvertisseurUIDelegate {
    Q_OBJECT
public:
    enum RemoveChoice {
        kRemoveNothing = 0,
        kRemoveAll = 1,
        kRemoveSelected = 2,
        kRemoveConverted = 3
    };

    // The core is open: its queue, file adder and settings are there.
    explicit VueCtrlrFilez(Core& core, QWidget* parent = nullptr);
    // The settings view beside it, which shows the selection and the messages.
    void setSettingsView(VueCtrlrReglage* reglage) { m_reglage = reglage; }

    QList<FichierAudioPtr> filez() const;
    void ajouterFichiersEtDossiers();
    void ajouterDossier();
    // Adds files and folders: tags are read off the main thread and the list
    // grows as they arrive; the call returns at once. With a limit, an
    // addition of more FLAC files than that asks first.
    void ajouterFichiersDossiers(const QStringList& paths, int confirmAbove = 0);
    // A click on the path bar asks before adding more files than this.
    static constexpr int kPathBarConfirmAbove = 1000;
    void clickPathControl(const QString& path);
    void choisirQuoiEffacer();
    void effacer();
    // Removes the selected files, whatever the popup shows.
    void effacerLaSelection();
    void raffraichirDossierPref();
    void raffraichirTableau();
    void resetBarreDeProgres();
    void updateUIavecControleur(ConversionControleur* controleur) override;
    void sortDescriptorsDidChange(int column, Qt::SortOrder order);
    // Sorts the list as the user last sorted it, before a restart.
    void restoreSort();
    // What the open panel gave: the result (1 for OK) and the chosen paths.
    void panelClosed(int result, const QStringList& paths);

    TableFichiers* tableVue() const { return m_tableVue; }
    FileListModel* model() const { return m_model; }
    QComboBox* quoiEffacerPopup() const { return m_quoiEffacerPopup; }
    QPushButton* effacerBouton() const { return m_effacerBouton; }
    QProgressBar* barre2prog() const { return m_barre2prog; }
    PathControl* pathCtrlr() const { return m_pathCtrlr; }
    QToolButton* addButton() const { return m_addButton; }
    // The addition's own progress, shown under the list while files are
    // added, with its cancel button: the window stays usable meanwhile.
    QWidget* addBar() const { return m_addBar; }
    QProgressBar* addProgress() const { return m_addProgress; }
    QPushButton* addCancelButton() const { return m_addCancel; }
    qint32 bumenuQE() const { return m_bumenuQE; }
    QList<qint64> selectedRows() const;
    // Where the open panel starts: the remembered folder while it exists.
    static QString startFolder(const QString& remembered);
    // Shows a view of the selected files under the list.
    void setDetailView(QWidget* detail);
    // What a right click on the rows offers for the selected files: remove
    // them, open the folder of the first, make them ready again.
    QMenu* rowMenu() const { return m_rowMenu; }
    void reinitialiserLaSelection();
    void ouvrirLeDossier();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitColumns();
    void tableViewSelectionDidChange();
    void syncList(bool contentsChanged);
    void selectPopupTag(int tag);
    int popupTag() const;
    void openPanel(bool folders);
    GestionnairePileFichier* _pileFichiers() const;
    void connectAdder(FileAdder* adder);
    // Paths were given to the file adder, from here or from outside.
    void additionStarts(const QStringList& paths, bool joined);
    void additionEnded();
    void sayWhatTheListAllows();
    void askToGoOn(int flacFiles, const QStringList& paths);
    QWidget* buildAddBar();
    void buildRowMenu();

    QSplitter* m_split;
    PathControl* m_pathCtrlr;
    TableFichiers* m_tableVue;
    FileListModel* m_model;
    QComboBox* m_quoiEffacerPopup;
    QPushButton* m_effacerBouton;
    QProgressBar* m_barre2prog;
    QToolButton* m_addButton;
    qint32 m_bumenuQE = 0;
    bool m_reloading = false;
    bool m_selectionMoved = false;
    FileAdder* m_adder = nullptr;
    QWidget* m_addBar;
    QLabel* m_addLabel;
    QProgressBar* m_addProgress;
    QPushButton* m_addCancel;
    QTimer* m_addBarDelay;
    QMenu* m_rowMenu = nullptr;
    Core& m_core;
    VueCtrlrReglage* m_reglage = nullptr;
};
