#pragma once

#include <QList>
#include <QString>

#include <memory>

class FichierAudio;

// What the data model needs from the queue above it: a folder's files join
// it one by one, a selection is read from it.
class QueueAccess {
public:
    virtual ~QueueAccess() = default;
    virtual void ajouterUnFichier(const QString& path) = 0;
    virtual QList<std::shared_ptr<FichierAudio>> fichiersAudio() const = 0;
};
