// What a thread needs before its first call into the module runs.
//
// The C++ runtime keeps its exception state (__cxa_get_globals) in the
// thread-local storage of libstdc++. In a process where libstdc++ arrives
// by dlopen, as it does with this module, glibc allocates that storage on
// its first use in each thread, and aborts the process ("cannot allocate
// memory for thread-local data") if the allocation fails. The first use
// would otherwise be the first throw, and std::bad_alloc is thrown exactly
// when memory has run out. So the frame makes that state exist on each
// thread's first entry, while memory is still to be had; a throw then needs
// no allocation that can abort (libstdc++ keeps an emergency pool for the
// exception objects themselves).
#pragma once

#include "platform/portable.h"

namespace ostrel {

// Set once the current thread is prepared. Initial-exec, like the stack of
// temporaries (call_scope.h): one load from the thread pointer per call.
OSTREL_TLS_INITIAL_EXEC extern constinit thread_local bool thread_prepared;

void prepare_thread_first_time() noexcept;

inline void prepare_thread() noexcept {
    if (!thread_prepared) [[unlikely]]
        prepare_thread_first_time();
}

}  // namespace ostrel
