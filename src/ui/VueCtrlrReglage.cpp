#include "VueCtrlrReglage.h"

VueCtrlrReglage::VueCtrlrReglage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("vueCtrlrReglage"));
    setMinimumSize(370, 400);
}

void VueCtrlrReglage::laListeContientDesFichiers(bool /*contientDesFichiers*/) {}

void VueCtrlrReglage::echoUserMessage(const QString& /*message*/) {}
