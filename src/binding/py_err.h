// PyErr: a Python exception that is still to be raised, carried as a value
// until the call frame raises it. Lazy errors make no Python object until
// they are raised or inspected; Fetched and Normalized ones hold what the
// interpreter reported.
#pragma once

#include "binding/py_ref.h"

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace ostrel {

// The exception types that the module raises itself.
enum class ErrorKind {
    TypeError,
    ValueError,
    RuntimeError,
    OverflowError,
    SystemError,
    ImportError,
    StopIteration,
    Panic,
};

class PyErr {
public:
    // A message that becomes the exception's single argument.
    static PyErr lazy(ErrorKind kind, std::string message);
    // TypeError "'<type>' object cannot be converted to '<target>'", whose
    // message is only worked out when it is needed.
    static PyErr conversion(PyObject* object, const char* target);
    // StopIteration(None).
    static PyErr stop_iteration();
    static PyErr fetched(ObjectRef type, ObjectRef value, ObjectRef traceback) noexcept;

    PyErr(PyErr&&) noexcept = default;
    PyErr& operator=(PyErr&&) noexcept = default;
    PyErr(const PyErr&) = delete;
    PyErr& operator=(const PyErr&) = delete;
    ~PyErr() = default;

    // Sets the interpreter's error indicator and consumes the error.
    void restore() &&;
    // Makes the exception instance, so that it can be read or changed.
    void normalize();

    // Borrowed; normalize() first.
    PyObject* type();
    PyObject* instance();
    PyObject* traceback();
    // New reference, or null when there is no cause.
    ObjectRef cause();
    void set_cause(ObjectRef cause);

private:
    enum class Argument { Message, PanicMessage, Conversion, NoneTuple };
    struct Lazy {
        ErrorKind kind;
        Argument argument;
        std::string message;
        ObjectRef object_type;  // for Conversion
        const char* target;     // for Conversion
    };
    struct Fetched {
        ObjectRef type, value, traceback;
    };
    struct Normalized {
        ObjectRef type, value, traceback;
    };

    explicit PyErr(Lazy lazy) : state_(std::move(lazy)) {}
    explicit PyErr(Fetched fetched) : state_(std::move(fetched)) {}

    // New references to the type and the argument object of a Lazy error.
    static std::pair<ObjectRef, ObjectRef> produce(Lazy& lazy);

    friend PyErr panic_error(std::string message);

    std::variant<Lazy, Fetched, Normalized> state_;
};

// The error raised for an internal fault.
PyErr panic_error(std::string message);

// The pending interpreter exception, if any; a PanicException that comes
// back from Python code is resumed as an internal fault instead.
std::optional<PyErr> take_error();
// As take_error, but SystemError when the interpreter set nothing.
PyErr fetch_error();

// TypeError naming the parameter, for a failed conversion whose exception
// is exactly TypeError; any other error is returned unchanged.
PyErr wrap_argument_error(const char* name, PyErr error);

PyErr conversion_error(PyObject* object, const char* target);

// str(object) as UTF-8, lone surrogates shown as U+FFFD.
std::string render_text(PyObject* object);
// "PyErr { type: ..., value: ..., traceback: ... }", for fault messages.
std::string describe_error(PyErr& error);

// A C-API call that had to make an object returned null: prints the pending
// error and raises the internal fault "Python API call failed".
[[noreturn]] void api_failure();

// Borrowed; ObjectRef wrapping a possibly-null new reference, or api_failure.
inline ObjectRef checked(PyObject* new_reference) {
    if (new_reference == nullptr) [[unlikely]]
        api_failure();
    return ObjectRef::steal(new_reference);
}

}  // namespace ostrel
