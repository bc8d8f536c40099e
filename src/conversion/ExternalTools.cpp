#include "ExternalTools.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

QString ExternalTools::find(const QString& name) {
    if (QCoreApplication::instance() != nullptr) {
        const QFileInfo beside(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
        if (beside.isFile() && beside.isExecutable()) {
            return beside.absoluteFilePath();
        }
    }
    return QStandardPaths::findExecutable(name);
}

QString ExternalTools::flacPath() {
    return find(QStringLiteral("flac"));
}

QString ExternalTools::metaflacPath() {
    return find(QStringLiteral("metaflac"));
}
