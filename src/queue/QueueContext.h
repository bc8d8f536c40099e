#pragma once

#include "model/ModelContext.h"

class GestionnairePileFichier;

// What the queue tells the settings view.
class QueueObserver {
public:
    virtual ~QueueObserver() = default;
    virtual void laListeContientDesFichiers(bool contientDesFichiers) = 0;
};

// The application context as the queue's owner sees it.
class QueueContext : public ModelContext {
public:
    virtual GestionnairePileFichier* pileFichiers() const = 0;
    // The settings view; null while there is none.
    virtual QueueObserver* queueObserver() const = 0;

    QueueAccess* queueAccess() const override;
};
