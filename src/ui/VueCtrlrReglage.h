#pragma once

#include "queue/QueueContext.h"

#include <QWidget>

// The settings pane (pane 0 of the main window).
class VueCtrlrReglage : public QWidget, public QueueObserver {
    Q_OBJECT
public:
    explicit VueCtrlrReglage(QWidget* parent = nullptr);

    void laListeContientDesFichiers(bool contientDesFichiers) override;
};
