#include "ThreadHandoff.h"

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);

namespace {
char g_token;
}

void ThreadHandoff::handOver() {
    __tsan_release(&g_token);
}

void ThreadHandoff::takeOver() {
    __tsan_acquire(&g_token);
}
#else
void ThreadHandoff::handOver() {}

void ThreadHandoff::takeOver() {}
#endif
