#include "Fichier.h"

QString Fichier::description() const {
    return QStringLiteral("Fichier : ") + nomElement();
}
