#include "FileListModel.h"

#include "queue/GestionnairePileFichier.h"
#include "storage/Log.h"
#include "storage/UserDefaults.h"
#include "ui/FileSizeFormatting.h"

#include <QCollator>
#include <QLocale>
#include <QSet>

FileListModel::FileListModel(GestionnairePileFichier& queue, QObject* parent)
    : QAbstractTableModel(parent), m_queue(queue) {
    remember(queue.fichiersAudio());
    connect(&queue, &GestionnairePileFichier::filesInserted, this, &FileListModel::insertFiles);
    connect(&queue, &GestionnairePileFichier::filesRemoved, this, &FileListModel::removeFiles);
    connect(&queue, &GestionnairePileFichier::filesReset, this, &FileListModel::followReset);
    connect(&queue, &GestionnairePileFichier::fileChanged, this, [this](qint64 position) {
        if (position >= 0 && position < m_shown.size()) {
            emit dataChanged(index(int(position), 0), index(int(position), kColumnCount - 1));
        }
    });
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_shown.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

FichierAudioPtr FileListModel::fileAt(int row) const {
    const GestionnairePileFichier* queue = pile();
    return queue != nullptr ? queue->fichierAt(row) : nullptr;
}

QVariant FileListModel::columnValue(const FichierAudio& file, int column) {
    const auto output = file.outMetadataDict();
    switch (column) {
    case kName:
        return file.nomElement();
    case kTrack:
    case kTitle:
    case kArtist:
    case kAlbum:
        for (const EditedField& field : EditedField::all()) {
            if (field.listColumn == column) {
                const QVariant value = output->value(QLatin1String(field.key));
                return field.numeric ? MetadataDictionary::shownNumber(value) : value;
            }
        }
        return QVariant();
    case kSize:
        return FileSizeFormatting::stringWithFileSize(
            file.inMetadataDict()->value(QStringLiteral("NSURLFileSizeKey")).toFloat());
    case kPath: {
        const PersistentURLPtr source = file.elementURL();
        return source ? UserDefaults::abbreviateHome(source->path()) : QString();
    }
    case kThumbnail:
    case kStatus:
        return QVariant();
    default:
        Log::write(QStringLiteral("Colone Inconnue %1").arg(column));
        return QVariant();
    }
}

QImage FileListModel::statusBadge(qint32 status) {
    // Drawn for every row: the six badges are looked up once.
    static const QList<QImage> badges = [] {
        QList<QImage> drawn;
        for (int code = kStatusConvAucun; code <= kStatusConvFiniErreur; ++code) {
            const ImagePtr badge = Image::named(QStringLiteral("status_gomet%1").arg(code));
            drawn << (badge ? badge->scaled(kBadgeSide) : QImage());
        }
        return drawn;
    }();
    return status >= 0 && status < badges.size() ? badges.at(status) : QImage();
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::DecorationRole && role != Qt::ToolTipRole &&
        role != Qt::TextAlignmentRole) {
        return QVariant();
    }
    const FichierAudioPtr file = fileAt(index.row());
    if (!file) {
        return QVariant();
    }
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        return columnValue(*file, column);
    }
    if (role == Qt::DecorationRole && column == kThumbnail) {
        ImagePtr picture = file->mainPictureCached(true);
        if (!picture) {
            picture = Image::named(QStringLiteral("flac-icon256.png"));
        }
        return picture ? QVariant(picture->scaled(kThumbnailSide)) : QVariant();
    }
    if (role == Qt::DecorationRole && column == kStatus) {
        const QImage badge = statusBadge(file->statusConversion());
        return badge.isNull() ? QVariant() : QVariant(badge);
    }
    if (role == Qt::ToolTipRole && column == kStatus) {
        const QString reason = file->failureReason();
        return reason.isEmpty() || file->statusConversion() != kStatusConvFiniErreur
                   ? file->statusLocalizedString()
                   : file->statusLocalizedString() + QLatin1Char('\n') + reason;
    }
    if (role == Qt::ToolTipRole && column == kPath) {
        return columnValue(*file, column);
    }
    if (role == Qt::TextAlignmentRole && (column == kTrack || column == kSize)) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return QVariant();
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QVariant();
    }
    switch (section) {
    case kName:
        return tr("File");
    case kTrack:
        return tr("Track");
    case kTitle:
        return tr("Title");
    case kArtist:
        return tr("Artist");
    case kAlbum:
        return tr("Album");
    case kSize:
        return tr("Size");
    case kPath:
        return tr("Path");
    case kStatus:
        return tr("Status");
    default:
        return QString();
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::ItemIsDropEnabled;
}

void FileListModel::remember(const QList<FichierAudioPtr>& list) {
    m_shown.clear();
    m_rows.clear();
    m_shown.reserve(list.size());
    for (const FichierAudioPtr& file : list) {
        m_rows.insert(file.get(), int(m_shown.size()));
        m_shown.append(file.get());
    }
}

void FileListModel::reload() {
    beginResetModel();
    const GestionnairePileFichier* queue = pile();
    remember(queue != nullptr ? queue->fichiersAudio() : QList<FichierAudioPtr>());
    endResetModel();
}

void FileListModel::insertFiles(qint64 first, qint64 last) {
    m_syncing = true;
    beginInsertRows(QModelIndex(), int(first), int(last));
    for (qint64 position = first; position <= last; ++position) {
        const FichierAudio* file = m_queue.fichierAt(position).get();
        m_rows.insert(file, int(m_shown.size()));
        m_shown.append(file);
    }
    endInsertRows();
    m_syncing = false;
    emit rowsSettled();
}

void FileListModel::removeFiles(const QList<qint64>& positions) {
    qsizetype runs = 0;
    for (qsizetype index = 0; index < positions.size(); ++index) {
        runs += index == 0 || positions.at(index - 1) != positions.at(index) - 1 ? 1 : 0;
    }
    if (runs > kRunsRemovedOneByOne) {
        // Files left from all over a long list: each run would move the
        // whole rest of it, so the rows are made anew.
        m_syncing = true;
        beginResetModel();
        remember(m_queue.fichiersAudio());
        endResetModel();
        m_syncing = false;
        emit rowsSettled();
        return;
    }
    m_syncing = true;
    // Bottom up, one run of rows at a time.
    for (qsizetype index = positions.size() - 1; index >= 0;) {
        const int last = int(positions.at(index));
        int first = last;
        while (index > 0 && positions.at(index - 1) == first - 1) {
            first = int(positions.at(--index));
        }
        --index;
        beginRemoveRows(QModelIndex(), first, last);
        m_shown.remove(first, last - first + 1);
        endRemoveRows();
    }
    m_rows.clear();
    for (int row = 0; row < m_shown.size(); ++row) {
        m_rows.insert(m_shown.at(row), row);
    }
    m_syncing = false;
    emit rowsSettled();
}

void FileListModel::sync(bool contentsChanged) {
    if (contentsChanged && !m_shown.isEmpty()) {
        emit dataChanged(index(0, 0), index(int(m_shown.size()) - 1, kColumnCount - 1));
    }
}

void FileListModel::followReset() {
    const QList<FichierAudioPtr> list = m_queue.fichiersAudio();
    QSet<const FichierAudio*> files;
    for (const FichierAudioPtr& file : list) {
        files.insert(file.get());
    }
    const bool reordered =
        files.size() == m_shown.size() &&
        std::all_of(m_shown.cbegin(), m_shown.cend(),
                    [&files](const FichierAudio* shown) { return files.contains(shown); });
    m_syncing = true;
    if (!reordered) {
        beginResetModel();
        remember(list);
        endResetModel();
    } else {
        // The same files in another order: the selection moves with them.
        emit layoutAboutToBeChanged();
        const QList<const FichierAudio*> oldRows = m_shown;
        remember(list);
        const QModelIndexList persistent = persistentIndexList();
        QModelIndexList moved;
        for (const QModelIndex& index : persistent) {
            const int row = m_rows.value(oldRows.value(index.row()), -1);
            moved << (row < 0 ? QModelIndex() : createIndex(row, index.column()));
        }
        changePersistentIndexList(persistent, moved);
        emit layoutChanged();
    }
    m_syncing = false;
    emit rowsSettled();
}

void FileListModel::fileChanged(const FichierAudio* file) {
    const int row = m_rows.value(file, -1);
    if (row >= 0) {
        emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
    }
}

void FileListModel::sortQueue(int column, Qt::SortOrder order) {
    GestionnairePileFichier* queue = pile();
    if (queue == nullptr) {
        return;
    }
    auto list = queue->fichiersAudio();
    const bool numeric = column == kSize || column == kStatus || column == kThumbnail;
    // Texts in the reader's language: "Été" among the E, numbers as numbers,
    // each text's key worked out once.
    QCollator collator{QLocale(QLocale::French)};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    struct Row {
        FichierAudioPtr file;
        double number;
        QCollatorSortKey text;
    };
    QList<Row> rows;
    rows.reserve(list.size());
    for (const FichierAudioPtr& file : std::as_const(list)) {
        Row row{file, 0, collator.sortKey(QString())};
        switch (column) {
        case kSize:
            row.number =
                file->inMetadataDict()->value(QStringLiteral("NSURLFileSizeKey")).toDouble();
            break;
        case kStatus:
            row.number = file->statusConversion();
            break;
        case kThumbnail:
            row.number = file->imageSourceType();
            break;
        default:
            row.text = collator.sortKey(columnValue(*file, column).toString());
            break;
        }
        rows << row;
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& left, const Row& right) {
        const int compared =
            numeric ? (left.number < right.number ? -1 : (left.number > right.number ? 1 : 0))
                    : left.text.compare(right.text);
        return order == Qt::AscendingOrder ? compared < 0 : compared > 0;
    });
    list.clear();
    for (const Row& row : std::as_const(rows)) {
        list << row.file;
    }
    queue->setFichiersAudio(list);
}
