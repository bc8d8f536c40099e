#include "ViewsContext.h"

#include "model/ModelContext.h"

ViewsContext* ViewsContext::current() {
    return ModelContext::currentAs<ViewsContext>();
}
