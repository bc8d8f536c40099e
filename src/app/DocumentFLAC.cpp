#include "DocumentFLAC.h"

#include "app/AppDelegate.h"

#include <QFileInfo>

bool DocumentFLAC::readFromURL(AppDelegate* delegate, const QString& path) {
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (!resolved.isEmpty()) {
        delegate->ajouterDossierOuFichier(resolved);
    }
    return true;
}
