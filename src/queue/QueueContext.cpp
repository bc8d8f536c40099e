#include "QueueContext.h"

#include "queue/GestionnairePileFichier.h"

QueueAccess* QueueContext::queueAccess() const {
    return pileFichiers();
}
