#pragma once

class QAbstractItemView;
class QModelIndex;

// Editing a cell with one click, its whole text selected.
class OneClickEdit {
public:
    // Makes the view start editing an editable cell as soon as it is clicked.
    static void install(QAbstractItemView* view);
    // Starts editing the clicked cell; nothing when the click hit no cell.
    static void singleClickEdit(QAbstractItemView* view, const QModelIndex& clicked);
};
