#include "TemporaryJournal.h"

#include "conversion/DestinationClaim.h"
#include "storage/FileManager.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex& journalMutex() {
    static QMutex mutex;
    return mutex;
}
} // namespace

bool TemporaryJournal::isTemporaryName(const QString& path) {
    return QFileInfo(path).fileName().startsWith(QLatin1String(".tmp_"));
}

void TemporaryJournal::add(const QString& journalPath, const QString& temporaryPath) {
    if (journalPath.isEmpty()) {
        return;
    }
    QMutexLocker lock(&journalMutex());
    QFile journal(journalPath);
    if (journal.open(QIODevice::Append)) {
        journal.write(temporaryPath.toUtf8() + '\n');
    }
}

void TemporaryJournal::removeListed(const QString& journalPath) {
    QFile journal(journalPath);
    if (!journal.open(QIODevice::ReadOnly)) {
        return;
    }
    for (const QByteArray& line : journal.readAll().split('\n')) {
        const QString path = QString::fromUtf8(line);
        // Only the hidden names temporaries are made under are ever removed.
        if (path.isEmpty() || !isTemporaryName(path)) {
            continue;
        }
        if (DestinationClaim::isLockPath(path)) {
            DestinationClaim::removeStale(path);
        } else if (FileManager::fileExists(path)) {
            FileManager::removeItem(path);
        }
    }
}
