#pragma once

#include <QList>

#include <memory>

class FichierAudio;

// Hears of files about to leave the queue: a pass stops their conversion
// before their records go.
class QueueRemovalListener {
public:
    virtual ~QueueRemovalListener() = default;
    virtual void
    fichiersVontQuitterLaPile(const QList<std::shared_ptr<FichierAudio>>& fichiers) = 0;
};
