#pragma once

#include <QStyledItemDelegate>

// Draws the list's cells: a picture centred, or one line of text cut with an
// ellipsis. Lighter than the general delegate, which lays text out for
// wrapping at every paint; a list of thousands of files scrolls smoothly.
class FileRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
