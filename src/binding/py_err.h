// PyErr: a Python exception that is still to be raised, carried as a value
// until the call frame raises it. Lazy errors make no Python object until
// they are raised or inspected; Fetched and Normalized ones hold what the
// interpreter reported.
#pragma once

#include "binding/py_ref.h"

#include <new>
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
    MemoryError,
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
    // MemoryError, raised as PyErr_NoMemory raises it: with no allocation.
    static PyErr no_memory() noexcept;
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
    enum class Argument { Message, PanicMessage, Conversion, NoneTuple, NoMemory };
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

// The interpreter refused an allocation that a C-API call needed. Its
// MemoryError is taken out of the error indicator at once and travels to
// the frame inside this exception, so that nothing run while the stack
// unwinds (a release can run a finaliser) can replace it; the frame raises
// it unchanged. Being a bad_alloc, it takes every path that exhausted
// memory takes.
class RefusedAllocation final : public std::bad_alloc {
public:
    // Takes the pending exception, a MemoryError.
    RefusedAllocation() noexcept;
    // Thrown objects must be copyable; copies share the exception.
    RefusedAllocation(const RefusedAllocation& other) noexcept
        : type_(ObjectRef::borrow(other.type_.get())),
          value_(ObjectRef::borrow(other.value_.get())),
          traceback_(ObjectRef::borrow(other.traceback_.get())) {}
    RefusedAllocation& operator=(const RefusedAllocation&) = delete;
    ~RefusedAllocation() override = default;

    const char* what() const noexcept override;
    // The MemoryError as an error value; a new one if it was taken before.
    PyErr take() noexcept;

private:
    ObjectRef type_, value_, traceback_;
};

// For exhausted memory caught as bad_alloc: the pending MemoryError if the
// interpreter has set one (it stays the same object), else a new one.
PyErr memory_error() noexcept;

// A C-API call that had to make an object returned null. A MemoryError
// leaves as RefusedAllocation; any other error is printed and the internal
// fault "Python API call failed" is raised.
[[noreturn]] void api_failure();

// ObjectRef owning a new reference that must not be null, or api_failure.
inline ObjectRef checked(PyObject* new_reference) {
    if (new_reference == nullptr) [[unlikely]]
        api_failure();
    return ObjectRef::steal(new_reference);
}

}  // namespace ostrel
