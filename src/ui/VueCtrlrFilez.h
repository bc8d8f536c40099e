#pragma once

#include <QWidget>

// The file list pane (pane 1 of the main window).
class VueCtrlrFilez : public QWidget {
    Q_OBJECT
public:
    explicit VueCtrlrFilez(QWidget* parent = nullptr);

    void raffraichirTableau();
    void effacer();
};
