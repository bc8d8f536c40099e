#include "BatchRunFolder.h"

#include "conversion/WorkFolder.h"
#include "storage/FileManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
// Only the hidden temporaries a conversion makes are ever removed.
bool isTemporaryName(const QString& path) {
    return QFileInfo(path).fileName().startsWith(QLatin1String(".tmp_"));
}

void removeJournalled(const QString& journalPath) {
    QFile journal(journalPath);
    if (!journal.open(QIODevice::ReadOnly)) {
        return;
    }
    for (const QByteArray& line : journal.readAll().split('\n')) {
        const QString path = QString::fromUtf8(line);
        if (!path.isEmpty() && isTemporaryName(path) && FileManager::fileExists(path)) {
            FileManager::removeItem(path);
        }
    }
}
} // namespace

QString BatchRunFolder::namePrefix() {
    return QStringLiteral("tonebridge-convert-");
}

BatchRunFolder::BatchRunFolder()
    : m_folder(std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1Char('/') + namePrefix() +
                                               QString::number(QCoreApplication::applicationPid()) +
                                               QStringLiteral("-XXXXXX"))) {}

BatchRunFolder::~BatchRunFolder() {
    if (isValid()) {
        removeJournalled(journalPath());
    }
}

bool BatchRunFolder::isValid() const {
    return m_folder->isValid();
}

QString BatchRunFolder::databasePath() const {
    return m_folder->filePath(QStringLiteral("queue.db"));
}

QString BatchRunFolder::picturesPath() const {
    return m_folder->filePath(QStringLiteral("pictures"));
}

QString BatchRunFolder::journalPath() const {
    return m_folder->filePath(QStringLiteral("temporaries"));
}

int BatchRunFolder::removeDeadRuns() {
    int removed = 0;
    const QDir temporary(QDir::tempPath());
    const QStringList names =
        temporary.entryList({namePrefix() + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const qint64 pid = WorkFolder::ownerOf(name, namePrefix());
        if (pid <= 0 || WorkFolder::processAlive(pid)) {
            continue;
        }
        const QString folder = temporary.filePath(name);
        removeJournalled(folder + QStringLiteral("/temporaries"));
        if (QDir(folder).removeRecursively()) {
            ++removed;
        }
    }
    return removed;
}
