#include "ModelContext.h"

#include <cstdlib>

namespace {
ModelContext* g_context = nullptr;
}

ModelContext::~ModelContext() {
    if (g_context == this) {
        g_context = nullptr;
    }
}

ModelContext* ModelContext::current() {
    return g_context;
}

void ModelContext::setCurrent(ModelContext* context) {
    g_context = context;
}

CocoLite& ModelContext::db() {
    if (g_context == nullptr || g_context->database() == nullptr) {
        std::abort();
    }
    return *g_context->database();
}
