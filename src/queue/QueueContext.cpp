#include "QueueContext.h"

#include "queue/GestionnairePileFichier.h"

QueueContext* QueueContext::current() {
    return ModelContext::currentAs<QueueContext>();
}

QueueAccess* QueueContext::queueAccess() const {
    return pileFichiers();
}
