#include "binding/thread_setup.h"

#include "binding/call_scope.h"

#include <cxxabi.h>

namespace ostrel {

constinit thread_local bool thread_prepared = false;

void prepare_thread_first_time() noexcept {
    // The runtime declares the function const; the empty asm consumes the
    // result so that the call is kept.
    void* globals = abi::__cxa_get_globals();
    asm volatile("" : : "r"(globals));
    CallScope::prepare_thread();
    thread_prepared = true;
}

}  // namespace ostrel
