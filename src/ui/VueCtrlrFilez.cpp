#include "VueCtrlrFilez.h"

VueCtrlrFilez::VueCtrlrFilez(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("vueCtrlrFilez"));
}

void VueCtrlrFilez::raffraichirTableau() {}

void VueCtrlrFilez::effacer() {}
