#include "TableFichiers.h"

#include "ui/VueCtrlrFilez.h"

#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyle>
#include <QUrl>

TableFichiers::TableFichiers(VueCtrlrFilez* vueCtrlrFilez, QWidget* parent)
    : QTableView(parent), m_vueCtrlrFilez(vueCtrlrFilez) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    setObjectName(QStringLiteral("tableVue"));
}

QStringList TableFichiers::droppedPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    return paths;
}

void TableFichiers::setHighlighted(bool highlighted) {
    m_highlighted = highlighted;
    // The style sheet draws the highlight from this property.
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void TableFichiers::dragEnterEvent(QDragEnterEvent* event) {
    setFocus(Qt::OtherFocusReason);
    setHighlighted(true);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TableFichiers::dragMoveEvent(QDragMoveEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TableFichiers::dragLeaveEvent(QDragLeaveEvent* event) {
    setHighlighted(false);
    event->accept();
}

void TableFichiers::dropEvent(QDropEvent* event) {
    const QStringList paths = droppedPaths(event->mimeData());
    if (!paths.isEmpty() && m_vueCtrlrFilez != nullptr) {
        m_vueCtrlrFilez->ajouterFichiersDossiers(paths);
    }
    setHighlighted(false);
    clearFocus();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

QString TableFichiers::emptyHint() {
    return tr("Drop FLAC files or folders here, or click Add…");
}

void TableFichiers::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (model() != nullptr && model()->rowCount() > 0) {
        return;
    }
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const QRect area = viewport()->rect().adjusted(24, 24, -24, -24);
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, emptyHint());
}

void TableFichiers::keyPressEvent(QKeyEvent* event) {
    const bool control = event->modifiers() == Qt::ControlModifier;
    if (control && (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) &&
        model() != nullptr && model()->rowCount() > 0) {
        const int row = event->key() == Qt::Key_Home ? 0 : model()->rowCount() - 1;
        const QModelIndex target = model()->index(row, 0);
        setCurrentIndex(target);
        selectionModel()->select(target,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(target);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
