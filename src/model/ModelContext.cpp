#include "ModelContext.h"

#include <atomic>
#include <cstdlib>

namespace {
ModelContext* g_context = nullptr;
std::atomic<quint64> g_generation{0};
} // namespace

ModelContext::~ModelContext() {
    if (g_context == this) {
        g_context = nullptr;
        ++g_generation;
    }
}

quint64 ModelContext::generation() {
    return g_generation.load();
}

ModelContext* ModelContext::current() {
    return g_context;
}

void ModelContext::setCurrent(ModelContext* context) {
    g_context = context;
    ++g_generation;
}

CocoLite& ModelContext::db() {
    if (g_context == nullptr || g_context->database() == nullptr) {
        std::abort();
    }
    return *g_context->database();
}
