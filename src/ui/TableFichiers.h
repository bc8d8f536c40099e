#pragma once

#include <QTableView>

class VueCtrlrFilez;

// The file list's table: a plain table that takes drops of local files and
// folders, highlighted while a drag hovers over it; empty, it says what to do.
class TableFichiers : public QTableView {
    Q_OBJECT
    Q_PROPERTY(bool highlighted READ isHighlighted)
public:
    explicit TableFichiers(VueCtrlrFilez* vueCtrlrFilez, QWidget* parent = nullptr);

    bool isHighlighted() const { return m_highlighted; }
    // The local paths a drop carries, in order; empty when it carries none.
    static QStringList droppedPaths(const QMimeData* data);
    // What an empty list says to do.
    static QString emptyHint();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Ctrl+Home and Ctrl+End select the first and the last file, as Home
    // and End do.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setHighlighted(bool highlighted);

    VueCtrlrFilez* m_vueCtrlrFilez;
    bool m_highlighted = false;
};
