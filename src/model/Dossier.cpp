#include "Dossier.h"

#include "model/NaturalOrder.h"
#include "storage/FileManager.h"
#include "storage/Log.h"

#include <QDir>
#include <QDirIterator>
#include <QStringDecoder>

#include <QFileInfo>
#include <cerrno>
#include <dirent.h>
#include <linux/magic.h>
#include <sys/statfs.h>

std::unique_ptr<Dossier> Dossier::finderElementAvecURL(const PersistentURLPtr& url) {
    auto folder = std::make_unique<Dossier>();
    folder->setElementURL(url);
    return folder;
}

QString Dossier::description() const {
    return QStringLiteral("Dossier : ") + nomElement();
}

QStringList Dossier::namesNotInUtf8(const QString& folder) {
    QStringList names;
    DIR* listing = ::opendir(QFile::encodeName(folder).constData());
    if (listing == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.')) {
            continue;
        }
        QStringDecoder utf8(QStringDecoder::Utf8);
        [[maybe_unused]] const QString decoded = utf8.decode(name);
        if (!utf8.hasError()) {
            continue;
        }
        QString shown;
        for (const char byte : name) {
            shown += quint8(byte) < 0x80
                         ? QString(QLatin1Char(byte))
                         : QStringLiteral("\\x") +
                               QString::number(quint8(byte), 16).toUpper().rightJustified(2, u'0');
        }
        names << folder + QLatin1Char('/') + shown;
    }
    ::closedir(listing);
    return names;
}

bool Dossier::isPseudoFileSystem(const QString& folder) {
    // What the kernel and the services show as files: listing them could
    // take for ever and nothing there is music.
    static const QStringList roots = {QStringLiteral("/proc"), QStringLiteral("/sys"),
                                      QStringLiteral("/dev"), QStringLiteral("/run")};
    for (const QString& root : roots) {
        if (folder == root || folder.startsWith(root + QLatin1Char('/'))) {
            return true;
        }
    }
    struct statfs info {};
    if (::statfs(QFile::encodeName(folder).constData(), &info) != 0) {
        return false;
    }
    switch (quint64(info.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case BPF_FS_MAGIC:
        return true;
    default:
        return false;
    }
}

QStringList Dossier::listTree(const QString& folder, QStringList* unreadableNames,
                              const std::atomic<bool>* stop) {
    // Hidden items are left out, and so is everything below a hidden folder.
    // Linked folders are not entered, so a link loop cannot trap the listing,
    // and neither are the kernel's pseudo file systems.
    QStringList paths;
    QStringList folders = {folder};
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    while (!folders.isEmpty() && !stopped()) {
        const QString current = folders.takeLast();
        if (isPseudoFileSystem(current)) {
            continue;
        }
        if (unreadableNames != nullptr) {
            *unreadableNames += namesNotInUtf8(current);
        }
        // Entry by entry, so that a stop is heard inside a large folder too.
        QDirIterator entries(current, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        while (entries.hasNext() && !stopped()) {
            const QString path = entries.next();
            const QFileInfo info = entries.fileInfo();
            paths << path;
            if (!info.isDir() || info.isSymLink()) {
                continue;
            }
            if (!(info.isReadable() && info.isExecutable())) {
                Log::write(QStringLiteral("Erreur enum %1 :\n%2")
                               .arg(path, FileManager::errorText(EACCES)));
                continue;
            }
            folders << path;
        }
    }
    // In the order a person expects: by path, numbers compared as numbers
    // ("2 - x" before "10 - x"), not in the file system's order.
    std::sort(paths.begin(), paths.end(), &NaturalOrder::pathLess);
    return paths;
}

bool Dossier::contenuRecursif(QueueAccess& queue) {
    const PersistentURLPtr url = elementURL();
    bool isDirectory = false;
    if (!url || !FileManager::fileExists(url->path(), &isDirectory) || !isDirectory) {
        return false;
    }
    const QStringList paths = listTree(url->path());
    for (const QString& path : std::as_const(paths)) {
        queue.ajouterUnFichier(path);
    }
    return true;
}
