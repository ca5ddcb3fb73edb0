// PanicException: the exception type that reports internal faults to
// Python. It is made on first need, kept for the life of the process, and
// never placed in the module's namespace.
#pragma once

#include <Python.h>

namespace ostrel {

// Borrowed; creates the type on first use (a failure there is a fault).
PyObject* panic_exception_type();

}  // namespace ostrel
