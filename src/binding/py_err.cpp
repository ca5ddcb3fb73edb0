// The three forms of PyErr and how each is raised, normalised and read.
// This file is where errors enter and leave the interpreter's error
// indicator; besides it, only the frame's failure paths and the two
// one-time type creations (PanicException, ChunksIter), which report a
// failure before raising the fault, set or clear the indicator
// (tests/test_source_rules.py holds the exact list).
#include "binding/py_err.h"

#include "binding/interned.h"
#include "binding/panic.h"
#include "fault/compat_text.h"
#include "fault/fault.h"

namespace ostrel {

namespace {

PyObject* exception_type(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::TypeError: return PyExc_TypeError;
        case ErrorKind::ValueError: return PyExc_ValueError;
        case ErrorKind::RuntimeError: return PyExc_RuntimeError;
        case ErrorKind::OverflowError: return PyExc_OverflowError;
        case ErrorKind::SystemError: return PyExc_SystemError;
        case ErrorKind::ImportError: return PyExc_ImportError;
        case ErrorKind::StopIteration: return PyExc_StopIteration;
        case ErrorKind::MemoryError: return PyExc_MemoryError;
        case ErrorKind::Panic: return panic_exception_type();
    }
    return PyExc_SystemError;
}

ObjectRef make_str(const std::string& text) {
    return checked(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

// The name used in conversion messages: the type's __qualname__.
std::string type_name_of(PyObject* type) {
    ObjectRef value = ObjectRef::steal(PyObject_GetAttr(type, qualname_name()));
    if (value && (PyType_GetFlags(Py_TYPE(value.get())) & Py_TPFLAGS_UNICODE_SUBCLASS)) {
        ObjectRef bytes = ObjectRef::steal(PyUnicode_AsUTF8String(value.get()));
        if (bytes)
            return std::string(PyBytes_AsString(bytes.get()),
                               static_cast<std::size_t>(PyBytes_Size(bytes.get())));
    }
    (void)take_error();
    return "<failed to extract type name>";
}

// Text of a str, lone surrogates decoded as U+FFFD (one per invalid byte,
// the maximal-subpart practice that Python's "replace" handler follows).
std::string str_to_text(PyObject* text) {
    ObjectRef bytes = ObjectRef::steal(PyUnicode_AsUTF8String(text));
    if (!bytes) {
        (void)take_error();
        ObjectRef raw = checked(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
        ObjectRef decoded = checked(
            PyUnicode_DecodeUTF8(PyBytes_AsString(raw.get()), PyBytes_Size(raw.get()), "replace"));
        bytes = checked(PyUnicode_AsUTF8String(decoded.get()));
    }
    return std::string(PyBytes_AsString(bytes.get()),
                       static_cast<std::size_t>(PyBytes_Size(bytes.get())));
}

std::string repr_text(PyObject* object) {
    ObjectRef repr = ObjectRef::steal(PyObject_Repr(object));
    if (!repr) [[unlikely]]
        api_failure();
    return str_to_text(repr.get());
}

}  // namespace

PyErr PyErr::lazy(ErrorKind kind, std::string message) {
    return PyErr(Lazy{kind, Argument::Message, std::move(message), ObjectRef(), nullptr});
}

PyErr PyErr::conversion(PyObject* object, const char* target) {
    return PyErr(Lazy{ErrorKind::TypeError, Argument::Conversion, std::string(),
                      ObjectRef::borrow(reinterpret_cast<PyObject*>(Py_TYPE(object))), target});
}

PyErr PyErr::stop_iteration() {
    return PyErr(
        Lazy{ErrorKind::StopIteration, Argument::NoneTuple, std::string(), ObjectRef(), nullptr});
}

PyErr PyErr::no_memory() noexcept {
    // An empty message and a null object: nothing here can allocate.
    return PyErr(
        Lazy{ErrorKind::MemoryError, Argument::NoMemory, std::string(), ObjectRef(), nullptr});
}

PyErr PyErr::fetched(ObjectRef type, ObjectRef value, ObjectRef traceback) noexcept {
    return PyErr(Fetched{std::move(type), std::move(value), std::move(traceback)});
}

PyErr panic_error(std::string message) {
    return PyErr(PyErr::Lazy{ErrorKind::Panic, PyErr::Argument::PanicMessage, std::move(message),
                             ObjectRef(), nullptr});
}

std::pair<ObjectRef, ObjectRef> PyErr::produce(Lazy& lazy) {
    ObjectRef type = ObjectRef::borrow(exception_type(lazy.kind));
    ObjectRef argument;
    switch (lazy.argument) {
        case Argument::Message: argument = make_str(lazy.message); break;
        case Argument::Conversion: {
            // Appended piece by piece: GCC 12 misreads a chain of operator+
            // here as an overlapping copy (-Wrestrict).
            std::string message = "'";
            message += type_name_of(lazy.object_type.get());
            message += "' object cannot be converted to '";
            message += lazy.target;
            message += '\'';
            argument = make_str(message);
        } break;
        case Argument::PanicMessage: {
            ObjectRef text = make_str(lazy.message);
            argument = checked(PyTuple_New(1));
            PyTuple_SetItem(argument.get(), 0, text.release());
            break;
        }
        case Argument::NoneTuple:
            argument = checked(PyTuple_New(1));
            PyTuple_SetItem(argument.get(), 0, ObjectRef::borrow(Py_None).release());
            break;
        case Argument::NoMemory: break;  // the type alone; normalising makes the instance
    }
    return {std::move(type), std::move(argument)};
}

void PyErr::restore() && {
    if (auto* lazy = std::get_if<Lazy>(&state_)) {
        if (lazy->argument == Argument::NoMemory) {
            PyErr_NoMemory();
            return;
        }
        auto [type, argument] = produce(*lazy);
        PyErr_Restore(type.release(), argument.release(), nullptr);
        return;
    }
    ObjectRef type, value, traceback;
    if (auto* fetched = std::get_if<Fetched>(&state_)) {
        type = std::move(fetched->type);
        value = std::move(fetched->value);
        traceback = std::move(fetched->traceback);
    } else {
        auto& normalized = std::get<Normalized>(state_);
        type = std::move(normalized.type);
        value = std::move(normalized.value);
        traceback = std::move(normalized.traceback);
    }
    PyErr_Restore(type.release(), value.release(), traceback.release());
}

void PyErr::normalize() {
    if (std::holds_alternative<Normalized>(state_)) return;
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    if (auto* lazy = std::get_if<Lazy>(&state_)) {
        auto [made_type, argument] = produce(*lazy);
        type = made_type.release();
        value = argument.release();
    } else {
        auto& fetched = std::get<Fetched>(state_);
        type = fetched.type.release();
        value = fetched.value.release();
        traceback = fetched.traceback.release();
    }
    PyErr_NormalizeException(&type, &value, &traceback);
    state_ =
        Normalized{ObjectRef::steal(type), ObjectRef::steal(value), ObjectRef::steal(traceback)};
}

PyObject* PyErr::type() {
    normalize();
    return std::get<Normalized>(state_).type.get();
}

PyObject* PyErr::instance() {
    normalize();
    return std::get<Normalized>(state_).value.get();
}

PyObject* PyErr::traceback() {
    normalize();
    return std::get<Normalized>(state_).traceback.get();
}

ObjectRef PyErr::cause() {
    PyObject* value = instance();
    if (value == nullptr) return ObjectRef();
    return ObjectRef::steal(PyException_GetCause(value));
}

void PyErr::set_cause(ObjectRef cause) {
    PyObject* value = instance();
    if (value != nullptr) PyException_SetCause(value, cause.release());
}

std::optional<PyErr> take_error() {
    PyObject *raw_type = nullptr, *raw_value = nullptr, *raw_traceback = nullptr;
    PyErr_Fetch(&raw_type, &raw_value, &raw_traceback);
    ObjectRef type = ObjectRef::steal(raw_type);
    ObjectRef value = ObjectRef::steal(raw_value);
    ObjectRef traceback = ObjectRef::steal(raw_traceback);
    if (!type) return std::nullopt;
    if (type.get() == panic_exception_type()) [[unlikely]] {
        std::optional<std::string> message;
        if (value && (PyType_GetFlags(Py_TYPE(value.get())) & Py_TPFLAGS_UNICODE_SUBCLASS))
            message = str_to_text(value.get());
        else
            message = compat::unwrapped_panic;
        std::fputs(compat::resumed_panic_banner, stderr);
        std::fflush(stderr);
        PyErr_Restore(type.release(), value.release(), traceback.release());
        PyErr_PrintEx(0);
        resume_fault(std::move(message));
    }
    return PyErr::fetched(std::move(type), std::move(value), std::move(traceback));
}

PyErr fetch_error() {
    if (std::optional<PyErr> error = take_error()) return std::move(*error);
    return PyErr::lazy(ErrorKind::SystemError, "attempted to fetch exception but none was set");
}

PyErr conversion_error(PyObject* object, const char* target) {
    return PyErr::conversion(object, target);
}

PyErr wrap_argument_error(const char* name, PyErr error) {
    if (error.type() != PyExc_TypeError) return error;
    PyErr wrapped = PyErr::lazy(ErrorKind::TypeError, std::string("argument '") + name +
                                                          "': " + render_text(error.instance()));
    ObjectRef cause = error.cause();
    wrapped.set_cause(std::move(cause));
    return wrapped;
}

std::string render_text(PyObject* object) {
    ObjectRef text = ObjectRef::steal(PyObject_Str(object));
    if (!text) [[unlikely]] {
        (void)take_error();
        raise_fault("could not render an object as text for an error message");
    }
    return str_to_text(text.get());
}

std::string describe_error(PyErr& error) {
    error.normalize();
    std::string out = compat::error_description_head + repr_text(error.type());
    out += compat::error_description_value;
    out += error.instance() ? repr_text(error.instance()) : std::string("None");
    out += compat::error_description_traceback;
    PyObject* traceback = error.traceback();
    out += traceback ? "Some(" + repr_text(traceback) + ")" : std::string("None");
    out += compat::error_description_tail;
    return out;
}

RefusedAllocation::RefusedAllocation() noexcept {
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    type_ = ObjectRef::steal(type);
    value_ = ObjectRef::steal(value);
    traceback_ = ObjectRef::steal(traceback);
}

const char* RefusedAllocation::what() const noexcept {
    return "the interpreter refused an allocation";
}

PyErr RefusedAllocation::take() noexcept {
    if (!type_) return PyErr::no_memory();
    return PyErr::fetched(std::move(type_), std::move(value_), std::move(traceback_));
}

PyErr memory_error() noexcept {
    if (PyErr_ExceptionMatches(PyExc_MemoryError)) return RefusedAllocation().take();
    // Anything else pending is replaced, as PyErr_NoMemory would replace it.
    PyErr_Clear();
    return PyErr::no_memory();
}

void api_failure() {
    if (PyErr_ExceptionMatches(PyExc_MemoryError)) throw RefusedAllocation();
    PyErr_Print();
    raise_fault("Python API call failed");
}

}  // namespace ostrel
