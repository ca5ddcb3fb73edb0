// The call frame that every entry from the interpreter runs in: it opens a
// CallScope, runs the body under a guard, raises a returned PyErr or turns
// an internal fault into PanicException, and closes the scope last. No C++
// exception leaves an entry; exhausted memory becomes MemoryError.
#pragma once

#include "binding/call_scope.h"
#include "fault/fault.h"
#include "binding/result.h"

#include <new>

namespace ostrel {

// Raise helpers for the frame's failure paths; each sets exactly one
// exception and never throws.
void raise_error(PyErr error) noexcept;
void raise_fault_as_panic(const InternalFault& fault) noexcept;
void raise_memory_error() noexcept;
[[noreturn]] void abort_at_boundary() noexcept;

// Runs `body` (returning Result<ObjectRef>) and returns a new reference or
// null with an exception set.
template <class Body>
PyObject* run_frame(Body&& body) noexcept {
    try {
        CallScope scope;
        PyObject* result = nullptr;
        try {
            Result<ObjectRef> outcome = body();
            if (outcome.ok())
                result = outcome.value().release();
            else
                raise_error(outcome.into_error());
        } catch (const InternalFault& fault) {
            raise_fault_as_panic(fault);
        } catch (const std::bad_alloc&) {
            raise_memory_error();
        } catch (const std::exception& unexpected) {
            raise_fault_as_panic(InternalFault(std::string(unexpected.what())));
        }
        scope.close();
        return result;
    } catch (...) {
        abort_at_boundary();
    }
}

// For entries with no result (deallocation): a failure is left set as the
// current exception.
template <class Body>
void run_frame_void(Body&& body) noexcept {
    try {
        CallScope scope;
        try {
            Status status = body();
            if (status) raise_error(std::move(*status));
        } catch (const InternalFault& fault) {
            raise_fault_as_panic(fault);
        } catch (const std::bad_alloc&) {
            raise_memory_error();
        } catch (const std::exception& unexpected) {
            raise_fault_as_panic(InternalFault(std::string(unexpected.what())));
        }
        scope.close();
    } catch (...) {
        abort_at_boundary();
    }
}

}  // namespace ostrel
