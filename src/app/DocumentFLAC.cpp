#include "DocumentFLAC.h"

#include <QFileInfo>

QString DocumentFLAC::resolve(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}
