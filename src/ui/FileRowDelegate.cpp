#include "FileRowDelegate.h"

#include "ui/FileListModel.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

namespace {
constexpr int kTextMargin = 4;

// A generous guess of a text's width: wide scripts count double.
int estimatedWidth(const QString& text, const QFontMetrics& metrics) {
    int units = 0;
    for (const QChar character : text) {
        units += character.unicode() >= 0x2E80 ? 6 : 3;
    }
    return units * metrics.averageCharWidth() / 2;
}
} // namespace

void FileRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group =
        option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    if (selected) {
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    }

    const int column = index.column();
    if (column == FileListModel::kThumbnail || column == FileListModel::kStatus) {
        const QVariant decoration = index.data(Qt::DecorationRole);
        const QImage picture = decoration.value<QImage>();
        const QSize size = picture.size()
                               .scaled(option.rect.size() - QSize(4, 4), Qt::KeepAspectRatio)
                               .boundedTo(picture.size());
        QRect target(QPoint(), size);
        target.moveCenter(option.rect.center());
        painter->drawImage(target, picture);
        return;
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) {
        return;
    }
    painter->setPen(
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect area = option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
    const QFontMetrics& metrics = option.fontMetrics;
    painter->setFont(option.font);
    // Measuring a text costs as much as drawing it: only texts that may not
    // fit are measured and cut, and a line is drawn without a text layout.
    const bool mayOverflow = estimatedWidth(text, metrics) > area.width();
    const QString shown =
        mayOverflow ? metrics.elidedText(text, Qt::ElideRight, area.width()) : text;
    const bool right = column == FileListModel::kTrack || column == FileListModel::kSize;
    const int x = right ? area.right() + 1 - metrics.horizontalAdvance(shown) : area.left();
    const int baseline = area.top() + (area.height() - metrics.height()) / 2 + metrics.ascent();
    painter->drawText(QPoint(x, baseline), shown);
}
