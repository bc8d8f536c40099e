#pragma once

#include "model/ImageTrack.h"
#include "model/MultiFichierAudio.h"

#include <QWidget>

#include <memory>
#include <optional>

class Core;
class InfoTableModel;
class QButtonGroup;
class QComboBox;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;
class QToolButton;

// The selected files as one item: their title, the cover picture that will
// be written into the outputs and where it comes from, and their tags side
// by side, source and output, the output ones editable.
class VueCtrlrInfoFile : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPictureSide = 180;

    explicit VueCtrlrInfoFile(Core& core, QWidget* parent = nullptr);

    MultiFichierAudioPtr fichierActif() const { return m_fichierActif; }
    void setFichierActif(const MultiFichierAudioPtr& fichier) { m_fichierActif = fichier; }
    void refreshContent();
    void _updateImageView();
    void _updateImageButtonEnability();

    void checkingBox();
    void changerSourceTypeRadio(int tag);
    void chooseImage();
    void _userChoosedImageFileWithPanel(int result, const QString& path);
    void toggleExternalImages();
    void cellFieldFocus();

    // What the metadata table shows and takes, by column identifier.
    QVariant cellValue(const QString& columnIdentifier, int row) const;
    bool isRowEditable(int row) const;
    // The tag rows and, below them, one read-only row per carried comment.
    int rowCount() const;
    // Applies an edit of the output column to every shown file; false when refused.
    bool setCellValue(int row, const QString& value);

    QToolButton* imageButton() const { return m_imageButton; }
    QCheckBox* autoFindImageCheckBox() const { return m_autoFindImageCheckBox; }
    QButtonGroup* imageSourceTypeRadioMatrix() const { return m_imageSourceTypeRadioMatrix; }
    QPushButton* chooseImageButton() const { return m_chooseImageButton; }
    QTableView* infoTableVue() const { return m_infoTableVue; }
    InfoTableModel* infoTableModel() const { return m_infoTableModel; }
    QLabel* titreTextField() const { return m_titreTextField; }
    // The encoding the selected tracks' cue sheet is read in: shown when
    // they are tracks of one image with a sheet file; choosing another
    // reads the sheet again and the tracks' tags follow.
    QComboBox* sheetEncodingPopUp() const { return m_sheetEncodingPopUp; }
    void changeSheetEncoding(const QString& encoding);

    // Why a value cannot go into a field; empty when it can. Numbers stay
    // numbers: a track or disc number ("3", "3/12"), a date ("2019",
    // "2019-04", "2019-04-01").
    static QString refusalFor(const QString& key, const QString& value);

    // Selections of more files have their comments read off the main thread.
    static constexpr int kCommentsReadAtOnce = 200;

signals:
    // An edit was refused, and why.
    void editRefused(const QString& reason);
    // The selected files' tags or names were edited: the list shows them anew.
    void filesEdited();
    // The selected tracks' sheet was read again in another encoding.
    void sheetReread();

private:
    void readCarriedTags();
    // The image and sheet of the selected tracks, when they share them.
    std::optional<ImageTrack> sharedSheet(QString* imagePath) const;
    void showSheetEncoding();
    int fileCount() const;
    void reloadFileList();
    bool applyFileName(QString value);
    // Gives the files back the name made from their source (or the pattern).
    void forgetTypedName();

    QToolButton* m_imageButton;
    QCheckBox* m_autoFindImageCheckBox;
    QButtonGroup* m_imageSourceTypeRadioMatrix;
    QPushButton* m_chooseImageButton;
    QTableView* m_infoTableVue;
    InfoTableModel* m_infoTableModel;
    QLabel* m_titreTextField;
    QLabel* m_sheetEncodingLabel;
    QComboBox* m_sheetEncodingPopUp;
    MultiFichierAudioPtr m_fichierActif;
    Core& m_core;
    QList<QPair<QString, QString>> m_carriedTags;
    // The reading of a large selection's comments under way, 0 for none.
    quint64 m_carriedReading = 0;
    // Gone with the view: a sheet read again later finds no one to tell.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
