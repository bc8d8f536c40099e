#pragma once

#include "model/FichierAudio.h"

#include <QAbstractTableModel>
#include <QHash>

class GestionnairePileFichier;

// The queue as a table: row n is the queue's record n (the model keeps no
// copy of the list), in nine columns. Lives on the main thread.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        kThumbnail = 0,
        kName,
        kTrack,
        kTitle,
        kArtist,
        kAlbum,
        kSize,
        kPath,
        kStatus,
        kColumnCount
    };
    static constexpr int kThumbnailSide = 32;
    static constexpr int kBadgeSide = 16;

    explicit FileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Re-orders the queue itself, so conversion follows the order shown;
    // the caller reloads.
    void sortQueue(int column, Qt::SortOrder order);

    void reload();
    // Follows the queue's list row by row: rows of files that left are
    // removed, new files inserted, a re-ordered list moved, and the shown
    // rows told their contents may have changed (unless only the list's
    // shape is asked for); selection and scrolling stay with the files.
    void sync(bool contentsChanged = true);
    // True while sync() changes the rows (the selection moves meanwhile).
    bool isSyncing() const { return m_syncing; }
    // One file's status or tags changed: its row alone is redrawn.
    void fileChanged(const FichierAudio* file);
    FichierAudioPtr fileAt(int row) const;
    // The badge of a status; none for a status outside the six.
    static QImage statusBadge(qint32 status);
    // The text a column shows for a file ("Colone Inconnue" logged for others).
    static QVariant columnValue(const FichierAudio& file, int column);

private:
    GestionnairePileFichier* pile() const;
    void remember(const QList<FichierAudioPtr>& list);
    void syncRows();
    bool removeRowsOfFilesThatLeft(const QList<FichierAudioPtr>& list);

    // The files as the view knows them, in its row order.
    QList<const FichierAudio*> m_shown;
    QHash<const FichierAudio*, int> m_rows;
    bool m_syncing = false;
};
