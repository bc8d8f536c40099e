#include "Dossier.h"

#include "model/ModelContext.h"
#include "model/NaturalOrder.h"
#include "storage/FileManager.h"
#include "storage/Log.h"

#include <QDirIterator>
#include <QStringDecoder>

#include <QFileInfo>
#include <cerrno>
#include <dirent.h>

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

QStringList Dossier::listTree(const QString& folder, QStringList* unreadableNames) {
    // Hidden items are left out, and so is everything below a hidden folder.
    // Linked folders are not entered, so a link loop cannot trap the listing.
    QDirIterator listing(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                         QDirIterator::Subdirectories);
    QStringList paths;
    if (unreadableNames != nullptr) {
        *unreadableNames += namesNotInUtf8(folder);
    }
    while (listing.hasNext()) {
        const QString path = listing.next();
        const QFileInfo info = listing.fileInfo();
        if (info.isDir() && !info.isSymLink() && !(info.isReadable() && info.isExecutable())) {
            Log::write(
                QStringLiteral("Erreur enum %1 :\n%2").arg(path, FileManager::errorText(EACCES)));
        }
        if (unreadableNames != nullptr && info.isDir() && !info.isSymLink()) {
            *unreadableNames += namesNotInUtf8(path);
        }
        paths << path;
    }
    // In the order a person expects: by path, numbers compared as numbers
    // ("2 - x" before "10 - x"), not in the file system's order.
    std::sort(paths.begin(), paths.end(), &NaturalOrder::pathLess);
    return paths;
}

bool Dossier::contenuRecursif(bool /*recursive*/) {
    const PersistentURLPtr url = elementURL();
    bool isDirectory = false;
    if (!url || !FileManager::fileExists(url->path(), &isDirectory) || !isDirectory) {
        return false;
    }
    QueueAccess* queue =
        ModelContext::current() != nullptr ? ModelContext::current()->queueAccess() : nullptr;
    const QStringList paths = listTree(url->path());
    for (const QString& path : std::as_const(paths)) {
        if (queue == nullptr) {
            break;
        }
        queue->ajouterUnFichier(path);
    }
    return true;
}
