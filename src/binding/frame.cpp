// The frame's failure paths. Raising an error can itself fail (making the
// message string, or the PanicException type, needs memory); each step
// falls back to a simpler exception so that exactly one is always set.
#include "binding/frame.h"

#include "binding/py_err.h"

#include <cstdio>
#include <cstdlib>

namespace ostrel {

void raise_memory_error() noexcept {
    PyErr_NoMemory();
}

void raise_fault_as_panic(const InternalFault& fault) noexcept {
    try {
        std::string message = fault.message().value_or("panic from Rust code");
        panic_error(std::move(message)).restore();
    } catch (const std::bad_alloc&) {
        raise_memory_error();
    } catch (...) {
        // The PanicException itself could not be made: report the fault with
        // the nearest built-in type rather than leaving no exception set.
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, fault.what());
    }
}

void raise_error(PyErr error) noexcept {
    try {
        std::move(error).restore();
    } catch (const InternalFault& fault) {
        raise_fault_as_panic(fault);
    } catch (const std::bad_alloc&) {
        raise_memory_error();
    } catch (...) {
        raise_fault_as_panic(InternalFault(std::nullopt));
    }
}

void abort_at_boundary() noexcept {
    std::fputs("uncaught panic at ffi boundary\n", stderr);
    std::fflush(stderr);
    std::abort();
}

}  // namespace ostrel
