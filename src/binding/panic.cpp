// Creation of the PanicException type. It derives from BaseException so
// that an `except Exception` clause does not swallow an internal fault.
#include "binding/panic.h"

#include "binding/object_cell.h"
#include "binding/py_err.h"
#include "fault/compat_text.h"
#include "fault/fault.h"

#include <string>

namespace ostrel {

namespace {

constinit ObjectCell panic_exception_type_cell;

ObjectRef new_panic_exception_type() {
    PyObject* created = PyErr_NewExceptionWithDoc(compat::panic_type_name, compat::panic_type_doc,
                                                  PyExc_BaseException, nullptr);
    if (created != nullptr) [[likely]]
        return ObjectRef::steal(created);
    // Taken directly: take_error would compare against the very type
    // whose creation just failed.
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr error = type != nullptr ? PyErr::fetched(ObjectRef::steal(type), ObjectRef::steal(value),
                                                   ObjectRef::steal(traceback))
                                  : PyErr::lazy(ErrorKind::SystemError,
                                                "attempted to fetch exception but none was set");
    raise_fault("Failed to initialize new exception type.: " + describe_error(error));
}

}  // namespace

// Making the type can run Python code, which may reach here again first:
// the cell keeps whichever type was published first.
PyObject* panic_exception_type() {
    return panic_exception_type_cell.get(new_panic_exception_type);
}

}  // namespace ostrel
