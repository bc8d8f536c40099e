#include "PublishingJournal.h"

#include <QFileInfo>

QString PublishingJournal::legacyPartialPath(const QString& destination) {
    const QFileInfo info(destination);
    return info.absolutePath() + QStringLiteral("/.tmp_") + info.completeBaseName() +
           QStringLiteral(".part.") + info.suffix();
}
