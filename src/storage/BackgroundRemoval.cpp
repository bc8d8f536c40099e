#include "BackgroundRemoval.h"

#include "storage/FileManager.h"
#include "storage/Log.h"
#include "storage/ThreadHandoff.h"

#include <QDir>
#include <QFileInfo>

namespace {
// File times are kept to the kernel's tick, a little behind the clock.
constexpr qint64 kTimeMarginMs = 1000;

void removeFile(const QString& path) {
    QString error;
    if (!FileManager::removeItem(path, &error)) {
        Log::write(QStringLiteral("Impossible de Supprimer %1\n%2").arg(path, error));
    }
}
} // namespace

BackgroundRemoval::BackgroundRemoval() {
    m_pool.setMaxThreadCount(1);
}

BackgroundRemoval::~BackgroundRemoval() {
    m_pool.waitForDone();
}

void BackgroundRemoval::remove(const QStringList& paths) {
    if (paths.isEmpty()) {
        return;
    }
    run([paths] {
        for (const QString& path : paths) {
            if (FileManager::fileExists(path)) {
                removeFile(path);
            }
        }
    });
}

void BackgroundRemoval::removeUnlessWrittenSince(const QString& path, const QDateTime& givenUp) {
    const QFileInfo info(path);
    if (info.exists() && info.lastModified().msecsTo(givenUp) > kTimeMarginMs) {
        removeFile(path);
    }
}

void BackgroundRemoval::removeGivenUp(const QStringList& paths) {
    if (paths.isEmpty()) {
        return;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    run([paths, now] {
        for (const QString& path : paths) {
            removeUnlessWrittenSince(path, now);
        }
    });
}

void BackgroundRemoval::sweep(const QString& folder, const QString& prefix,
                              const QSet<QString>& kept) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    run([folder, prefix, kept, now] {
        const QDir dir(folder);
        for (const QString& name : dir.entryList({prefix + QLatin1Char('*')},
                                                 QDir::Files | QDir::Hidden | QDir::System)) {
            const QString path = dir.filePath(name);
            if (!kept.contains(path)) {
                removeUnlessWrittenSince(path, now);
            }
        }
    });
}

void BackgroundRemoval::run(std::function<void()> work) {
    ThreadHandoff::start(m_pool, std::move(work));
}

void BackgroundRemoval::waitForDone() {
    m_pool.waitForDone();
}
