// ObjectCell: a process-wide object made on first need and kept for the
// life of the process (an interned name, a type object, a bound method).
//
// Two threads can find the cell empty at once: on a free-threaded build
// nothing orders them, and on an ordinary one the interpreter can switch
// threads while the object is being made, since making it may run Python
// code. Each then makes its own; the first to publish wins, and the other
// releases its object and uses the published one. No lock is taken, so a
// maker that waits on the interpreter cannot deadlock against another.
#pragma once

#include "binding/py_ref.h"

#include <atomic>

namespace ostrel {

class ObjectCell {
public:
    constexpr ObjectCell() noexcept = default;
    ObjectCell(const ObjectCell&) = delete;
    ObjectCell& operator=(const ObjectCell&) = delete;

    // The object, borrowed; `make` is called when the cell is still empty
    // and returns an ObjectRef that owns a new object, or throws.
    template <class Make>
    PyObject* get(Make&& make) {
        PyObject* seen = object_.load(std::memory_order_acquire);
        if (seen != nullptr) [[likely]]
            return seen;
        return publish(make());
    }

    // The object, or null while no thread has published one.
    PyObject* peek() const noexcept { return object_.load(std::memory_order_acquire); }

private:
    PyObject* publish(ObjectRef made) noexcept {
        PyObject* expected = nullptr;
        if (object_.compare_exchange_strong(expected, made.get(), std::memory_order_acq_rel,
                                            std::memory_order_acquire))
            return made.release();
        return expected;  // another thread's; `made` is released on the way out
    }

    std::atomic<PyObject*> object_{nullptr};
};

}  // namespace ostrel
