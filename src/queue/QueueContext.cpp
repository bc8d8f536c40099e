#include "QueueContext.h"

#include "queue/GestionnairePileFichier.h"

QueueContext* QueueContext::current() {
    return dynamic_cast<QueueContext*>(ModelContext::current());
}

QueueAccess* QueueContext::queueAccess() const {
    return pileFichiers();
}
