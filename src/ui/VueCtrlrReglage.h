#pragma once

#include "conversion/ConversionContext.h"

#include <QWidget>

// The settings pane (pane 0 of the main window).
class VueCtrlrReglage : public QWidget, public QueueObserver, public MessageSink {
    Q_OBJECT
public:
    explicit VueCtrlrReglage(QWidget* parent = nullptr);

    void laListeContientDesFichiers(bool contientDesFichiers) override;
    void echoUserMessage(const QString& message) override;
};
