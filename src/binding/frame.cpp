// The frame's failure paths. Raising an error can itself fail (making the
// message string, or the PanicException type, needs memory); each step
// falls back to a simpler exception so that exactly one is always set.
#include "binding/frame.h"

#include "binding/py_err.h"
#include "fault/compat_text.h"
#include "fault/fault.h"

#include <cstdio>
#include <cstdlib>

namespace ostrel {

namespace {

void raise_memory_error(PyErr error) noexcept {
    // Fetched and no-memory errors restore without making anything.
    try {
        std::move(error).restore();
    } catch (...) {
        PyErr_NoMemory();
    }
}

[[noreturn]] void abort_at_boundary() noexcept {
    std::fputs(compat::panic_at_boundary, stderr);
    std::fflush(stderr);
    std::abort();
}

}  // namespace

void raise_fault_as_panic(const InternalFault& fault) noexcept {
    try {
        std::string message = fault.message().value_or(compat::panic_without_message);
        panic_error(std::move(message)).restore();
    } catch (RefusedAllocation& refused) {
        raise_memory_error(refused.take());
    } catch (const std::bad_alloc&) {
        raise_memory_error(memory_error());
    } catch (...) {
        // The PanicException itself could not be made: report the fault with
        // the nearest built-in type rather than leaving no exception set.
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, fault.what());
    }
}

void raise_error(PyErr error) noexcept {
    try {
        std::move(error).restore();
    } catch (...) {
        // Making the exception failed: raise that failure instead.
        std::optional<PyErr> exhausted;
        std::optional<InternalFault> fault;
        hold_thrown(exhausted, fault);
        if (exhausted)
            raise_memory_error(std::move(*exhausted));
        else
            raise_fault_as_panic(*fault);
    }
}

void hold_thrown(std::optional<PyErr>& error, std::optional<InternalFault>& fault) noexcept {
    try {
        throw;
    } catch (InternalFault& thrown) {
        fault.emplace(std::move(thrown));
    } catch (RefusedAllocation& refused) {
        error.emplace(refused.take());
    } catch (const std::bad_alloc&) {
        error.emplace(memory_error());
    } catch (const std::exception& unexpected) {
        try {
            fault.emplace(std::string(unexpected.what()));
        } catch (...) {
            error.emplace(memory_error());
        }
    } catch (...) {
        abort_at_boundary();
    }
}

}  // namespace ostrel
