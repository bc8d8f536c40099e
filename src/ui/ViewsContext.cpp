#include "ViewsContext.h"

#include "model/ModelContext.h"

ViewsContext* ViewsContext::current() {
    return dynamic_cast<ViewsContext*>(ModelContext::current());
}
