#pragma once

#include <QAbstractTableModel>
#include <QStringList>

class VueCtrlrInfoFile;

// The twelve metadata rows of the information view: the key's label, the
// value read from the source and the value written into the output; below
// them, read-only, the source's other comments, which the output carries.
class InfoTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kClef = 0, kSrce = 1, kDest = 2 };

    explicit InfoTableModel(VueCtrlrInfoFile* controller);

    static const QStringList& keys();
    static QString columnIdentifier(int column);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void reload();

private:
    VueCtrlrInfoFile* m_controller;
};
