#include "BatchRunFolder.h"

#include "conversion/ExportSession.h"
#include "conversion/TemporaryJournal.h"
#include "conversion/WorkFolder.h"
#include "storage/FileManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

QString BatchRunFolder::namePrefix() {
    return QStringLiteral("tonebridge-convert-");
}

BatchRunFolder::BatchRunFolder()
    : m_folder(std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1Char('/') + namePrefix() +
                                               QString::number(QCoreApplication::applicationPid()) +
                                               QStringLiteral("-XXXXXX"))) {}

BatchRunFolder::~BatchRunFolder() {
    // A session still stalled on a destination keeps its temporaries: the
    // next run removes them once this process is gone.
    if (isValid() && ExportSession::running() == 0) {
        TemporaryJournal::removeListed(journalPath());
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
        TemporaryJournal::removeListed(folder + QStringLiteral("/temporaries"));
        if (QDir(folder).removeRecursively()) {
            ++removed;
        }
    }
    return removed;
}
