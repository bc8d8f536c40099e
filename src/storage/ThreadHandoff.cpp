#include "ThreadHandoff.h"

#include <QRunnable>

#include <utility>

void ThreadHandoff::start(QThreadPool& pool, std::function<void()> work) {
    QRunnable* task = QRunnable::create([work = std::move(work)]() mutable {
        takeOver();
        std::exchange(work, nullptr)();
        handOver();
    });
    handOver();
    pool.start(task);
}

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
