#pragma once

#include "model/EditedField.h"
#include "model/FichierAudio.h"

#include <QAbstractTableModel>
#include <QHash>

class GestionnairePileFichier;

// The queue as a table: row n is the queue's record n, in nine columns. It
// follows the queue's signals as they come (files inserted, removed,
// re-ordered, changed), so selection and scrolling stay with the files.
// Lives on the main thread.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        kThumbnail = 0,
        kName,
        kTrack = EditedField::kListTrack,
        kTitle = EditedField::kListTitle,
        kArtist = EditedField::kListArtist,
        kAlbum = EditedField::kListAlbum,
        kSize,
        kPath,
        kStatus,
        kColumnCount
    };
    static constexpr int kThumbnailSide = 32;
    static constexpr int kBadgeSide = 16;
    // Rows leaving in more runs than this make the rows anew.
    static constexpr qsizetype kRunsRemovedOneByOne = 64;

    explicit FileListModel(GestionnairePileFichier& queue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Re-orders the queue itself, so conversion follows the order shown;
    // the caller reloads.
    void sortQueue(int column, Qt::SortOrder order);

    void reload();
    // Tells the shown rows their contents may have changed (unless only the
    // list's shape is asked for; the rows follow the queue on their own).
    void sync(bool contentsChanged = true);
    // True while rows come and go (the selection moves meanwhile).
    bool isSyncing() const { return m_syncing; }
    // One file's status or tags changed: its row alone is redrawn.
    void fileChanged(const FichierAudio* file);
    FichierAudioPtr fileAt(int row) const;

signals:
    // Rows came or went; the selection may have moved with its files.
    void rowsSettled();

public:
    // The badge of a status; none for a status outside the six.
    static QImage statusBadge(qint32 status);
    // The text a column shows for a file ("Colone Inconnue" logged for others).
    static QVariant columnValue(const FichierAudio& file, int column);

private:
    GestionnairePileFichier* pile() const { return &m_queue; }
    void remember(const QList<FichierAudioPtr>& list);
    void insertFiles(qint64 first, qint64 last);
    void removeFiles(const QList<qint64>& positions);
    // The queue's list was replaced: the same files re-ordered keep their
    // selection; other files make the rows anew.
    void followReset();

    GestionnairePileFichier& m_queue;
    // The files as the view knows them, in its row order.
    QList<const FichierAudio*> m_shown;
    QHash<const FichierAudio*, int> m_rows;
    bool m_syncing = false;
};
