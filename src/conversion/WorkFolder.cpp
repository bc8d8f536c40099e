#include "WorkFolder.h"

#include "conversion/TemporaryJournal.h"
#include "storage/FileManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>

namespace {
const QString kWorkPrefix = QStringLiteral("work-");
const QString kJournalName = QStringLiteral("temporaries");
} // namespace

QString WorkFolder::cacheRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Tonebridge");
}

QString WorkFolder::forThisProcess() {
    const QString folder = cacheRoot() + QLatin1Char('/') + kWorkPrefix +
                           QString::number(QCoreApplication::applicationPid());
    FileManager::ensureDirectory(folder);
    return folder;
}

QString WorkFolder::journalForThisProcess() {
    return forThisProcess() + QLatin1Char('/') + kJournalName;
}

void WorkFolder::removeForThisProcess() {
    QDir(cacheRoot() + QLatin1Char('/') + kWorkPrefix +
         QString::number(QCoreApplication::applicationPid()))
        .removeRecursively();
}

QString WorkFolder::pictures() {
    const QString folder = cacheRoot() + QStringLiteral("/pictures");
    FileManager::ensureDirectory(folder);
    return folder;
}

bool WorkFolder::processAlive(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

qint64 WorkFolder::ownerOf(const QString& folderName, const QString& prefix) {
    if (!folderName.startsWith(prefix)) {
        return 0;
    }
    return folderName.mid(prefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong();
}

int WorkFolder::removeDeadOnes() {
    int removed = 0;
    const QDir root(cacheRoot());
    for (const QString& name :
         root.entryList({kWorkPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const qint64 pid = ownerOf(name, kWorkPrefix);
        if (pid <= 0 || processAlive(pid)) {
            continue;
        }
        TemporaryJournal::removeListed(root.filePath(name) + QLatin1Char('/') + kJournalName);
        if (QDir(root.filePath(name)).removeRecursively()) {
            ++removed;
        }
    }
    return removed;
}
