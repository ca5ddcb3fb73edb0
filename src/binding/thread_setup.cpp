// Each thread's first entry into the module: the runtime state a throw
// needs, and the stack of temporaries, made while memory is still to be had.
#include "binding/thread_setup.h"

#include "binding/call_scope.h"
#include "platform/portable.h"

#if OSTREL_HAVE_CXA_GLOBALS
#include <cxxabi.h>
#endif

namespace ostrel {

constinit thread_local bool thread_prepared = false;

void prepare_thread_first_time() noexcept {
#if OSTREL_HAVE_CXA_GLOBALS
    // The runtime declares the function const; the empty asm consumes the
    // result so that the call is kept.
    void* globals = abi::__cxa_get_globals();
    asm volatile("" : : "r"(globals));
#else
    try {
        throw 0;
    } catch (int) {
    }
#endif
    CallScope::prepare_thread();
    thread_prepared = true;
}

}  // namespace ostrel
