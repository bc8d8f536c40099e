#pragma once

#include <QThreadPool>

#include <functional>

// Work handed between threads through Qt's queues (a thread pool's queue,
// a queued call back to the main thread) is synchronised by Qt's own locks,
// which a ThreadSanitizer build cannot see: Qt is not built with it. Each
// hand-over is told to it here, the sender calling handOver() just before
// queueing and the receiver takeOver() first thing, so that what the sender
// wrote (the queued function itself included) counts as seen by the
// receiver. One token serves every hand-over: the receiver cannot read a
// token of its own before it has taken the work over. In any other build
// both do nothing.
class ThreadHandoff {
public:
    static void handOver();
    static void takeOver();
    // Runs the work on the pool, handed over: the task is made whole before
    // the hand-over, so that what the pool's thread reads of it was written
    // before (a task made after it could be read unseen), and what the work
    // holds goes with it before its thread hands its own memory on.
    static void start(QThreadPool& pool, std::function<void()> work);
};
