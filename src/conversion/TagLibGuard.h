#pragma once

#include <mutex>

// TagLib keeps state of its own for the whole process (the ID3v2 frame
// factory, its string conversions, its debug listener), and its reference
// counted strings and lists are shared between copies: every TagLib file
// object is made, used and dropped under this one lock, on whichever thread
// reads tags (the file adder's pool) or writes them (the export threads).
// A file's tags take a few milliseconds against the seconds of its decoding,
// so the lock costs nothing measurable.
class TagLibGuard {
public:
    TagLibGuard() : m_lock(mutex()) {}
    TagLibGuard(const TagLibGuard&) = delete;
    TagLibGuard& operator=(const TagLibGuard&) = delete;

private:
    static std::mutex& mutex() {
        static std::mutex lock;
        return lock;
    }

    std::lock_guard<std::mutex> m_lock;
};
