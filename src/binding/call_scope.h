// CallScope: the temporaries of one call into the module. Each thread has
// one stack of owned references; a scope remembers the height at which it
// opened and, when it closes, releases what was pushed since, in push order.
#pragma once

#include "binding/py_ref.h"
#include "platform/portable.h"

#include <cstddef>

namespace ostrel {

// The stack of one thread: a plain buffer rather than a std::vector, since
// a thread-local with a destructor is reached through a guard variable
// that costs a __tls_get_addr call on every access, while this one is a
// fixed offset from the thread pointer. The buffer is freed when the
// thread ends (see CallScope::prepare_thread).
struct TemporaryStack {
    PyObject** items;
    std::size_t size;
    std::size_t capacity;
};

// Initial-exec: the module is loaded once per process and this is a few
// words, so it fits the static TLS reserve that glibc keeps for modules
// loaded by dlopen; it is then set up with every thread's own memory, never
// allocated on first use as dynamic TLS is.
OSTREL_TLS_INITIAL_EXEC extern constinit thread_local TemporaryStack temporary_stack;

class CallScope {
public:
    CallScope() noexcept : height_(temporary_stack.size) {}
    ~CallScope() { close(); }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

    // Releases this scope's temporaries; later calls do nothing.
    void close() noexcept {
        if (!open_) return;
        open_ = false;
        if (temporary_stack.size != height_) release_down_to(height_);
    }

    // Hands a temporary to the innermost open scope of this thread and
    // returns the borrowed object, valid until that scope closes. On
    // exhausted memory the reference is released before bad_alloc leaves.
    static PyObject* push(ObjectRef object);

    // Arranges for this thread's buffer to be freed when the thread ends;
    // called once per thread, on its first entry into the module.
    static void prepare_thread() noexcept;

private:
    static void release_down_to(std::size_t height) noexcept;

    std::size_t height_;
    bool open_ = true;
};

}  // namespace ostrel
