#pragma once

#include <QWidget>

// The settings pane (pane 0 of the main window).
class VueCtrlrReglage : public QWidget {
    Q_OBJECT
public:
    explicit VueCtrlrReglage(QWidget* parent = nullptr);
};
