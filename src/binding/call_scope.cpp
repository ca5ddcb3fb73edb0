// The per-thread stack behind CallScope. Frames nest on it when Python code
// run by the module calls the module again; each frame pops only its own.
#include "binding/call_scope.h"

#include <algorithm>
#include <new>
#include <utility>

namespace ostrel {

constinit thread_local TemporaryStack temporary_stack{};

namespace {

// Frees the thread's buffer when the thread ends. The stack is left empty
// and usable, should anything call the module after that.
struct StackRelease {
    ~StackRelease() {
        TemporaryStack& stack = temporary_stack;
        if (stack.items != nullptr) ::operator delete(static_cast<void*>(stack.items));
        stack = TemporaryStack{};
    }
};

}  // namespace

void CallScope::prepare_thread() noexcept {
    // Registered on first use, with the C++ runtime's per-thread exit list.
    thread_local StackRelease release;
    (void)release;
}

void CallScope::release_down_to(std::size_t height) noexcept {
    // Release in push order. A finaliser run by a release may call the
    // module again: that nested frame opens above the current top and pops
    // back to it, so our entries below stay where they are. Each entry is
    // cleared before its release so that nothing can see it twice.
    std::size_t top = temporary_stack.size;
    for (std::size_t i = height; i < top; ++i) {
        PyObject* object = std::exchange(temporary_stack.items[i], nullptr);
        Py_XDECREF(object);
    }
    temporary_stack.size = height;
}

PyObject* CallScope::push(ObjectRef object) {
    TemporaryStack& stack = temporary_stack;
    if (stack.size == stack.capacity) {
        // A call holds a few temporaries (keyword names and values, encoded
        // strings); 16 serve the usual call, nested ones included, without
        // growing again. On bad_alloc `object` still owns its reference.
        std::size_t capacity = stack.capacity == 0 ? 16 : 2 * stack.capacity;
        // Plain operator new: the library's allocator would bring in a
        // runtime symbol newer than the oldest systems the wheel serves.
        auto** grown = static_cast<PyObject**>(::operator new(capacity * sizeof(PyObject*)));
        if (stack.items != nullptr) {
            std::copy_n(stack.items, stack.size, grown);
            ::operator delete(static_cast<void*>(stack.items));
        }
        stack.items = grown;
        stack.capacity = capacity;
    }
    stack.items[stack.size++] = object.release();
    return stack.items[stack.size - 1];
}

}  // namespace ostrel
