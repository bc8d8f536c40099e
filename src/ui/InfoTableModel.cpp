#include "InfoTableModel.h"

#include "model/EditedField.h"
#include "model/LocalizedStrings.h"
#include "ui/VueCtrlrInfoFile.h"

InfoTableModel::InfoTableModel(VueCtrlrInfoFile* controller)
    : QAbstractTableModel(controller), m_controller(controller) {}

const QStringList& InfoTableModel::keys() {
    // The keys are also the source texts of their labels.
    static const QStringList rows =
        QStringList{QStringLiteral(QT_TRANSLATE_NOOP("Localizable", "fileName"))} +
        EditedField::infoKeys() +
        QStringList{QStringLiteral(QT_TRANSLATE_NOOP("Localizable", "sample-rate")),
                    QStringLiteral(QT_TRANSLATE_NOOP("Localizable", "bps")),
                    QStringLiteral(QT_TRANSLATE_NOOP("Localizable", "channels")),
                    QStringLiteral(QT_TRANSLATE_NOOP("Localizable", "NSURLFileSizeKey"))};
    return rows;
}

QString InfoTableModel::columnIdentifier(int column) {
    static const char* const identifiers[] = {"clef", "srce", "dest"};
    return column >= 0 && column < 3 ? QLatin1String(identifiers[column]) : QString::number(column);
}

int InfoTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_controller->rowCount();
}

int InfoTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant InfoTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() ||
        (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)) {
        return QVariant();
    }
    const QVariant value = m_controller->cellValue(columnIdentifier(index.column()), index.row());
    if (role == Qt::ToolTipRole) {
        return index.column() == kClef ? QVariant() : value;
    }
    // A value of several lines (lyrics) shows on one; the tool tip has it whole.
    if (role == Qt::DisplayRole && value.typeId() == QMetaType::QString) {
        return value.toString().replace(QLatin1Char('\n'), QStringLiteral(" / "));
    }
    return value;
}

bool InfoTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != kDest) {
        return false;
    }
    const bool applied = m_controller->setCellValue(index.row(), value.toString());
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), 2));
    return applied;
}

QVariant InfoTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QVariant();
    }
    switch (section) {
    case kSrce:
        return tr("Source");
    case kDest:
        return tr("Output");
    default:
        return QString();
    }
}

Qt::ItemFlags InfoTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == kDest && m_controller->isRowEditable(index.row())) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

void InfoTableModel::reload() {
    beginResetModel();
    endResetModel();
}
