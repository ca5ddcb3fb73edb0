// Running work that touches no Python object with the interpreter lock
// released, so that other threads run Python code (or their own such work)
// meanwhile. The work may read only memory that the call owns or holds a
// strong reference to; it must not allocate or release Python objects.
#pragma once

#include <Python.h>

#include <cstddef>

namespace ostrel {

// Work over fewer bytes than this keeps the lock. Measured on x86-64
// (CPython 3.11, two cores): releasing and taking back a free lock costs
// about 100 instructions, no more than scanning 1 KB; but once another
// thread waits for the lock, taking it back waits for that thread to give
// it up, and below about 64 KB (some 5 µs of scanning) the hand-overs cost
// a short call more than the parallel scans gain.
inline constexpr std::size_t release_threshold_bytes = 64 * 1024;

// Releases the lock for its lifetime, when asked to. Leaving the scope by
// an exception (exhausted memory, an internal fault) takes the lock back
// first, so the frame that catches it, and makes the Python error, holds
// the lock.
class UnlockedScope {
public:
    explicit UnlockedScope(bool release) noexcept
        : saved_(release ? PyEval_SaveThread() : nullptr) {}
    ~UnlockedScope() {
        if (saved_ != nullptr) PyEval_RestoreThread(saved_);
    }
    UnlockedScope(const UnlockedScope&) = delete;
    UnlockedScope& operator=(const UnlockedScope&) = delete;

private:
    PyThreadState* saved_;
};

}  // namespace ostrel
