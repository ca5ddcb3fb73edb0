// The borrow flag of a ChunksIter and the two guards that take it: shared
// access while __iter__ runs, exclusive access while __next__ runs, so that
// the inner iterator's Python code cannot step the same instance again.
// Plain C++, so that the guards are tested from many threads on their own.
#pragma once

#include <atomic>
#include <cstddef>

namespace ostrel::chunks {

// A flag is 0 when free, this while a __next__ holds it, and otherwise the
// number of readers. It must be aligned for std::atomic_ref.
inline constexpr std::size_t exclusive_flag = ~std::size_t{0};

// The guards change the flag with atomic operations. A second user, on
// this thread (re-entered from inner's Python code) or on another (on a
// free-threaded build, or after a thread switch while inner runs), is
// refused at once rather than made to wait. A critical section of the
// interpreter would make it wait, and would not even last the whole step:
// it is suspended whenever its thread blocks, as inner's Python code may.
// Whoever takes the flag acquires what its previous holder released.

// Shared access for the lifetime of the guard; refused (held() false, the
// flag untouched) while a __next__ holds the instance.
class SharedAccess {
public:
    explicit SharedAccess(std::size_t& flag) noexcept : flag_(flag) {
        std::size_t seen = flag_.load(std::memory_order_relaxed);
        do {
            if (seen == exclusive_flag) return;
        } while (!flag_.compare_exchange_weak(seen, seen + 1, std::memory_order_acquire,
                                              std::memory_order_relaxed));
        held_ = true;
    }
    ~SharedAccess() {
        if (held_) flag_.fetch_sub(1, std::memory_order_release);
    }
    SharedAccess(const SharedAccess&) = delete;
    SharedAccess& operator=(const SharedAccess&) = delete;

    bool held() const noexcept { return held_; }

private:
    std::atomic_ref<std::size_t> flag_;
    bool held_ = false;
};

// Exclusive access for the lifetime of the guard, so that every way out of
// __next__ (a returned error, an internal fault, exhausted memory) frees
// the instance again; refused unless the instance is free.
class ExclusiveAccess {
public:
    explicit ExclusiveAccess(std::size_t& flag) noexcept : flag_(flag) {
        std::size_t free = 0;
        held_ = flag_.compare_exchange_strong(free, exclusive_flag, std::memory_order_acquire,
                                              std::memory_order_relaxed);
    }
    ~ExclusiveAccess() {
        if (held_) flag_.store(0, std::memory_order_release);
    }
    ExclusiveAccess(const ExclusiveAccess&) = delete;
    ExclusiveAccess& operator=(const ExclusiveAccess&) = delete;

    bool held() const noexcept { return held_; }

private:
    std::atomic_ref<std::size_t> flag_;
    bool held_ = false;
};

}  // namespace ostrel::chunks
