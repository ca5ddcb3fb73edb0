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
// about 400 instructions, what an absent needle's scan spends on under
// 1 KB, so 64 KB pays at most 2% on one thread. Once another thread waits
// for the lock, taking it back waits for that thread to give it up: two
// threads searching 16 KB texts ran slower with the release than without,
// 64 KB ones (some 3 µs of scanning each) faster, and more so above.
inline constexpr std::size_t release_threshold_bytes = std::size_t{64} * 1024;

// PyEval_RestoreThread, for a thread that released the lock. Should the
// interpreter be finalizing, CPython before 3.14 ends the calling thread
// there; gil_release.cpp says how that ending stops short of the module's
// own frames.
void take_lock_back(PyThreadState* saved) noexcept;

// Releases the lock for its lifetime, when asked to. Leaving the scope by
// an exception (exhausted memory, an internal fault) takes the lock back
// first, so the frame that catches it, and makes the Python error, holds
// the lock.
class UnlockedScope {
public:
    explicit UnlockedScope(bool release) noexcept
        : saved_(release ? PyEval_SaveThread() : nullptr) {}
    ~UnlockedScope() {
        if (saved_ != nullptr) take_lock_back(saved_);
    }
    UnlockedScope(const UnlockedScope&) = delete;
    UnlockedScope& operator=(const UnlockedScope&) = delete;

private:
    PyThreadState* saved_;
};

}  // namespace ostrel
