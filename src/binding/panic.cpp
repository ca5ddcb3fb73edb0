// Creation of the PanicException type. It derives from BaseException so
// that an `except Exception` clause does not swallow an internal fault.
#include "binding/panic.h"

#include "binding/py_err.h"
#include "fault/compat_text.h"
#include "fault/fault.h"

#include <string>

namespace ostrel {

namespace {

// Filled once under the interpreter lock, never released.
PyObject* panic_exception_type_cell = nullptr;

}  // namespace

PyObject* panic_exception_type() {
    if (panic_exception_type_cell != nullptr) [[likely]]
        return panic_exception_type_cell;
    PyObject* created = PyErr_NewExceptionWithDoc(compat::panic_type_name, compat::panic_type_doc,
                                                  PyExc_BaseException, nullptr);
    if (created == nullptr) [[unlikely]] {
        // Taken directly: take_error would compare against the very type
        // whose creation just failed.
        PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
        PyErr_Fetch(&type, &value, &traceback);
        PyErr error = type != nullptr
                          ? PyErr::fetched(ObjectRef::steal(type), ObjectRef::steal(value),
                                           ObjectRef::steal(traceback))
                          : PyErr::lazy(ErrorKind::SystemError,
                                        "attempted to fetch exception but none was set");
        raise_fault("Failed to initialize new exception type.: " + describe_error(error));
    }
    // Creating the type can run Python code that fills the cell first.
    if (panic_exception_type_cell != nullptr) {
        Py_DECREF(created);
        return panic_exception_type_cell;
    }
    panic_exception_type_cell = created;
    return created;
}

}  // namespace ostrel
