#pragma once

#include "model/ModelContext.h"

class GestionnairePileFichier;

// What the queue tells the settings view.
class QueueObserver {
public:
    virtual ~QueueObserver() = default;
    virtual void laListeContientDesFichiers(bool contientDesFichiers) = 0;
};

// Hears of files about to leave the queue: a pass stops their conversion
// before their records go.
class QueueRemovalListener {
public:
    virtual ~QueueRemovalListener() = default;
    virtual void
    fichiersVontQuitterLaPile(const QList<std::shared_ptr<FichierAudio>>& fichiers) = 0;
};

// The application context as the queue's owner sees it.
class QueueContext : public ModelContext {
public:
    virtual GestionnairePileFichier* pileFichiers() const = 0;
    // The settings view; null while there is none.
    virtual QueueObserver* queueObserver() const = 0;

    QueueAccess* queueAccess() const override;
};
