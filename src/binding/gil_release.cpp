// Taking the interpreter lock back after work done without it.
//
// This file is built without unwind tables (CMakeLists.txt), so that
// take_lock_back's frame ends every unwinding that starts below it. CPython
// before 3.14 ends a thread that asks for the lock while the interpreter
// finalizes with pthread_exit, which glibc carries out as a forced unwind
// of the thread's stack; where that unwind meets a frame it has no tables
// for, glibc jumps straight to the thread's start and ends the thread
// there. The module's own frames above this one are thus never unwound by
// a foreign unwinder (whose context a statically linked C++ runtime could
// not read) and never reach a noexcept boundary: the thread ends as it
// would in a C extension, and the process, which is exiting, reclaims
// what those frames held.
#include "binding/gil_release.h"

namespace ostrel {

void take_lock_back(PyThreadState* saved) noexcept {
    // Built without sibling calls, so this stays a call: a tail jump would
    // leave no frame of this file on the stack to end the unwinding.
    PyEval_RestoreThread(saved);
}

}  // namespace ostrel
