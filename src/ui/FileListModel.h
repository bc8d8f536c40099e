#pragma once

#include "model/FichierAudio.h"

#include <QAbstractTableModel>

class GestionnairePileFichier;

// The queue as a table: row n is the queue's record n (the model keeps no
// copy of the list), in nine columns.
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
    FichierAudioPtr fileAt(int row) const;
    // The badge of a status; none for a status outside the six.
    static QImage statusBadge(qint32 status);
    // The text a column shows for a file ("Colone Inconnue" logged for others).
    static QVariant columnValue(const FichierAudio& file, int column);

private:
    GestionnairePileFichier* pile() const;
};
