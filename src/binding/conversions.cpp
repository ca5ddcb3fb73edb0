// Argument and result conversions. A str is encoded to UTF-8 once, and the
// Text is a view into those bytes; an ASCII str is viewed in place.
#include "binding/conversions.h"

#include "binding/call_scope.h"

#include <climits>
#include <limits>

namespace ostrel {

namespace {

using NoArgsFunction = PyObject* (*)(PyObject*, PyObject*);

// The C function behind str.isascii, taken once from a bound method of a
// plain str: it reads the str's own storage, so it answers for any str or
// subclass with no Python-level call, and no override can change it. Should
// the method not be a plain no-argument C function, str.isascii itself is
// called instead (`isascii_method`). Filled on first need under the
// interpreter lock, never released.
NoArgsFunction isascii_function = nullptr;
PyObject* isascii_method = nullptr;

void find_isascii() {
    ObjectRef empty = checked(PyUnicode_FromStringAndSize(nullptr, 0));
    ObjectRef bound = checked(PyObject_GetAttrString(empty.get(), "isascii"));
    if (PyCFunction_Check(bound.get()) && PyCFunction_GetFlags(bound.get()) == METH_NOARGS) {
        isascii_function = reinterpret_cast<NoArgsFunction>(PyCFunction_GetFunction(bound.get()));
        return;
    }
    isascii_method =
        checked(PyObject_GetAttrString(reinterpret_cast<PyObject*>(&PyUnicode_Type), "isascii"))
            .release();
}

}  // namespace

bool is_ascii(PyObject* text) {
    if (isascii_function == nullptr && isascii_method == nullptr) [[unlikely]]
        find_isascii();
    ObjectRef answer = ObjectRef::steal(
        isascii_function != nullptr ? isascii_function(text, nullptr)
                                    : PyObject_CallFunctionObjArgs(isascii_method, text, nullptr));
    if (!answer) [[unlikely]] {
        (void)take_error();
        return false;
    }
    return answer.get() == Py_True;
}

Result<Text> to_text(PyObject* object, bool* ascii) {
    if (!(PyType_GetFlags(Py_TYPE(object)) & Py_TPFLAGS_UNICODE_SUBCLASS)) [[unlikely]]
        return conversion_error(object, "PyString");
    if (ascii != nullptr) *ascii = false;
    if (is_ascii(object)) {
        Py_ssize_t size = 0;
        const char* data = PyUnicode_AsUTF8AndSize(object, &size);
        if (data != nullptr) [[likely]] {
            if (ascii != nullptr) *ascii = true;
            return Text(data, static_cast<std::size_t>(size));
        }
        (void)take_error();
    }
    ObjectRef bytes = ObjectRef::steal(PyUnicode_AsUTF8String(object));
    if (!bytes) [[unlikely]]
        return fetch_error();
    PyObject* held = CallScope::push(std::move(bytes));
    return Text(PyBytes_AsString(held), static_cast<std::size_t>(PyBytes_Size(held)));
}

Result<std::size_t> to_word(PyObject* object) {
    ObjectRef index = ObjectRef::steal(PyNumber_Index(object));
    if (!index) [[unlikely]]
        return fetch_error();
    unsigned long long value = PyLong_AsUnsignedLongLong(index.get());
    if (value == std::numeric_limits<unsigned long long>::max()) {
        if (std::optional<PyErr> error = take_error()) return std::move(*error);
    }
    if constexpr (sizeof(std::size_t) < sizeof(unsigned long long)) {
        if (value > std::numeric_limits<std::size_t>::max())
            return PyErr::lazy(ErrorKind::OverflowError,
                               "out of range integral type conversion attempted");
    }
    return static_cast<std::size_t>(value);
}

ObjectRef word_to_int(std::size_t word) {
    // The signed constructor builds values below 2**30 without a digit loop.
    if (word <= static_cast<unsigned long>(LONG_MAX)) [[likely]]
        return checked(PyLong_FromLong(static_cast<long>(word)));
    return checked(PyLong_FromUnsignedLongLong(static_cast<unsigned long long>(word)));
}

ObjectRef indices_to_list(std::span<const std::size_t> indices) {
    ObjectRef list = checked(PyList_New(static_cast<Py_ssize_t>(indices.size())));
    for (std::size_t i = 0; i < indices.size(); ++i)
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), word_to_int(indices[i]).release());
    return list;
}

}  // namespace ostrel
