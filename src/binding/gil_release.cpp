// Taking the interpreter lock back after work done without it.
#include "binding/gil_release.h"

#include <chrono>
#include <thread>

namespace ostrel {

void take_lock_back(PyThreadState* saved) noexcept {
    try {
        PyEval_RestoreThread(saved);
    } catch (...) {
        // Only the unwinding of a thread that the interpreter ends comes out
        // of this C function. It must not be swallowed (the C library then
        // aborts), nor reach a noexcept frame (the C++ runtime aborts): the
        // handler is never left. The interpreter is going away and takes no
        // more work from this thread.
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

}  // namespace ostrel
