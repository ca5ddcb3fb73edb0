// The per-thread stack behind CallScope. Frames nest on it when Python code
// run by the module calls the module again; each frame pops only its own.
#include "binding/call_scope.h"

#include "platform/portable.h"

#include <vector>

namespace ostrel {

namespace {

// Initial-exec TLS: the module is loaded once per process and this is one
// small object, so it fits the static TLS reserve, and every call is spared
// a __tls_get_addr lookup.
OSTREL_TLS_INITIAL_EXEC thread_local std::vector<PyObject*> temporaries;

}  // namespace

CallScope::CallScope() noexcept : height_(temporaries.size()) {}

void CallScope::close() noexcept {
    if (!open_) return;
    open_ = false;
    // Release in push order. A finaliser run by a release may call the
    // module again: that nested frame opens above the current top and pops
    // back to it, so our entries below stay where they are. Each entry is
    // cleared before its release so that nothing can see it twice.
    std::size_t top = temporaries.size();
    for (std::size_t i = height_; i < top; ++i) {
        PyObject* object = temporaries[i];
        temporaries[i] = nullptr;
        Py_XDECREF(object);
    }
    temporaries.resize(height_);
}

PyObject* CallScope::push(ObjectRef object) {
    PyObject* borrowed = object.get();
    temporaries.push_back(borrowed);  // on bad_alloc, `object` still owns it
    (void)object.release();
    return borrowed;
}

}  // namespace ostrel
