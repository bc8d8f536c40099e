#pragma once

#include "model/FinderElement.h"
#include "model/QueueAccess.h"

#include <atomic>
#include <memory>

// A folder element: lists its whole tree and hands every item to the queue.
class Dossier : public FinderElement {
public:
    static std::unique_ptr<Dossier> finderElementAvecURL(const PersistentURLPtr& url);

    qint32 elementType() const override { return kElementDossier; }
    QString description() const override;
    // Hands every visible item below the folder, at any depth, to the queue.
    // False when the folder is gone or is not a folder.
    // Adds every FLAC file of the folder's tree to the queue, in order.
    bool contenuRecursif(QueueAccess& queue);
    // Every visible item below the folder, at any depth, in natural order.
    // Items whose names are not UTF-8 cannot be named to the tools: they are
    // left out, and told in unreadableNames (their bytes shown as \xHH).
    // A stop asked for ends the listing at once, with what it has found.
    static QStringList listTree(const QString& folder, QStringList* unreadableNames = nullptr,
                                const std::atomic<bool>* stop = nullptr);
    // The kernel's own file systems (/proc, /sys, /dev, /run), never listed.
    static bool isPseudoFileSystem(const QString& folder);
    // The visible items of one folder whose names are not valid UTF-8.
    static QStringList namesNotInUtf8(const QString& folder);
};
