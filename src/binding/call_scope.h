// CallScope: the temporaries of one call into the module. Each thread has
// one stack of owned references; a scope remembers the height at which it
// opened and, when it closes, releases what was pushed since, in push order.
#pragma once

#include "binding/py_ref.h"

#include <cstddef>

namespace ostrel {

class CallScope {
public:
    CallScope() noexcept;
    ~CallScope() { close(); }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

    // Releases this scope's temporaries; later calls do nothing.
    void close() noexcept;

    // Hands a temporary to the innermost open scope of this thread and
    // returns the borrowed object, valid until that scope closes. On
    // exhausted memory the reference is released before bad_alloc leaves.
    static PyObject* push(ObjectRef object);

private:
    std::size_t height_;
    bool open_ = true;
};

}  // namespace ostrel
