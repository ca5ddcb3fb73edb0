// The call frame that every entry from the interpreter runs in. It opens a
// CallScope and runs the body; the body's outcome (a value, a returned
// PyErr, or whatever it threw) is held until the scope has closed, so that
// no finaliser run by releasing a temporary can see or replace the error,
// and only then is the error raised. No C++ exception leaves an entry:
// exhausted memory becomes MemoryError (the interpreter's own MemoryError
// when it refused the allocation), an internal fault PanicException.
#pragma once

#include "binding/call_scope.h"
#include "binding/result.h"
#include "binding/thread_setup.h"
#include "fault/fault.h"

#include <optional>
#include <type_traits>

namespace ostrel {

// Raise the held outcome; each sets exactly one exception and never throws.
void raise_error(PyErr error) noexcept;
void raise_fault_as_panic(const InternalFault& fault) noexcept;

// Called in a catch handler: keeps what was thrown as a value to raise
// later, exhausted memory as its MemoryError and anything else as a fault.
// Nothing is copied that could need memory; an exception that is not a
// C++ standard one ends the process, as no safe report of it exists.
void hold_thrown(std::optional<PyErr>& error, std::optional<InternalFault>& fault) noexcept;

// Runs `body`. A body returning Result<ObjectRef> makes an entry that
// returns a new reference, or null with an exception set. A body returning
// Status (deallocation, whose body cannot fail) makes one that returns
// nothing; a failure would be left set as the current exception.
template <class Body>
auto run_frame(Body&& body) noexcept {
    using Outcome = std::invoke_result_t<Body&>;
    constexpr bool makes_object = std::is_same_v<Outcome, Result<ObjectRef>>;
    static_assert(makes_object || std::is_same_v<Outcome, Status>);

    prepare_thread();
    PyObject* result = nullptr;
    std::optional<PyErr> error;
    std::optional<InternalFault> fault;
    {
        CallScope scope;
        try {
            Outcome outcome = body();
            if constexpr (makes_object) {
                if (outcome.ok())
                    result = outcome.value().release();
                else
                    error = outcome.into_error();
            } else {
                error = std::move(outcome);
            }
        } catch (...) {
            hold_thrown(error, fault);
        }
    }
    if (error) [[unlikely]]
        raise_error(std::move(*error));
    else if (fault) [[unlikely]]
        raise_fault_as_panic(*fault);
    if constexpr (makes_object) return result;
}

}  // namespace ostrel
