#pragma once

#include <QMainWindow>

class QSplitter;
class VueCtrlrFilez;
class VueCtrlrReglage;

// The one window: a splitter whose pane 0 is the settings view and pane 1
// the file list.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    QSplitter* splitView() const { return m_splitter; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QSplitter* m_splitter;
};
