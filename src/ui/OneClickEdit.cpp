#include "OneClickEdit.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {
// The editor opens with its whole text selected, ready to be typed over.
class SelectingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        QStyledItemDelegate::setEditorData(editor, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            QTimer::singleShot(0, line, [line] { line->selectAll(); });
        }
    }
};
} // namespace

void OneClickEdit::install(QAbstractItemView* view) {
    view->setItemDelegate(new SelectingDelegate(view));
    view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    QObject::connect(view, &QAbstractItemView::clicked, view,
                     [view](const QModelIndex& index) { singleClickEdit(view, index); });
}

void OneClickEdit::singleClickEdit(QAbstractItemView* view, const QModelIndex& clicked) {
    if (!clicked.isValid() || !(clicked.flags() & Qt::ItemIsEditable)) {
        return;
    }
    view->setCurrentIndex(clicked);
    view->edit(clicked);
}
