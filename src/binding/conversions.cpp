// Argument and result conversions. A str is encoded once, to UTF-8 or to
// UTF-16, and the text is a view into those bytes; an ASCII str is viewed
// in place.
#include "binding/conversions.h"

#include "binding/call_scope.h"

#include <climits>
#include <limits>

namespace ostrel {

namespace {

// str.isascii taken from the str type itself, so that a subclass cannot
// change the answer. Made once, never released.
PyObject* str_isascii() {
    static PyObject* method = nullptr;
    if (method == nullptr)
        method =
            checked(PyObject_GetAttrString(reinterpret_cast<PyObject*>(&PyUnicode_Type), "isascii"))
                .release();
    return method;
}

}  // namespace

bool is_ascii(PyObject* text) {
    ObjectRef answer = ObjectRef::steal(PyObject_CallFunctionObjArgs(str_isascii(), text, nullptr));
    if (!answer) [[unlikely]] {
        (void)take_error();
        return false;
    }
    return answer.get() == Py_True;
}

namespace {

// The UTF-8 bytes of a non-ASCII str, held by the call's scope.
Result<std::string_view> utf8_of(PyObject* object) {
    ObjectRef bytes = ObjectRef::steal(PyUnicode_AsUTF8String(object));
    if (!bytes) [[unlikely]]
        return fetch_error();
    PyObject* held = CallScope::push(std::move(bytes));
    return std::string_view(PyBytes_AsString(held), static_cast<std::size_t>(PyBytes_Size(held)));
}

// The UTF-16 units of a str, from the interpreter's UTF-16 encoder: it
// widens or copies the str's characters, several times cheaper than
// encoding to UTF-8. Its output starts with a byte-order mark and is in
// the machine's byte order. The encoder refuses exactly the strs that hold
// a surrogate, as the UTF-8 one does; the error raised is then the UTF-8
// encoder's, so that it reads the same in every function.
Result<std::u16string_view> utf16_of(PyObject* object) {
    ObjectRef bytes = ObjectRef::steal(PyUnicode_AsUTF16String(object));
    if (!bytes) [[unlikely]] {
        PyErr refused = fetch_error();
        Result<std::string_view> utf8 = utf8_of(object);
        if (!utf8.ok()) return utf8.into_error();
        return refused;  // not a surrogate, then: out of memory
    }
    PyObject* held = CallScope::push(std::move(bytes));
    constexpr std::size_t mark = 2;
    const std::size_t size = static_cast<std::size_t>(PyBytes_Size(held)) - mark;
    // Bytes objects hold their data at an even address, so the units
    // after the two-byte mark are aligned.
    return std::u16string_view(reinterpret_cast<const char16_t*>(PyBytes_AsString(held) + mark),
                               size / 2);
}

}  // namespace

Result<StrText> to_text(PyObject* object, TextForm form) {
    if (!(PyType_GetFlags(Py_TYPE(object)) & Py_TPFLAGS_UNICODE_SUBCLASS)) [[unlikely]]
        return conversion_error(object, "PyString");
    StrText text;
    text.code_points = static_cast<std::size_t>(PyUnicode_GetLength(object));
    if (form != TextForm::Utf16 && is_ascii(object)) {
        Py_ssize_t size = 0;
        const char* data = PyUnicode_AsUTF8AndSize(object, &size);
        if (data != nullptr) [[likely]] {
            text.ascii = true;
            text.utf8 = std::string_view(data, static_cast<std::size_t>(size));
            return text;
        }
        (void)take_error();
    }
    if (form == TextForm::Utf8) {
        Result<std::string_view> utf8 = utf8_of(object);
        if (!utf8.ok()) [[unlikely]]
            return utf8.into_error();
        text.utf8 = utf8.value();
        return text;
    }
    Result<std::u16string_view> units = utf16_of(object);
    if (!units.ok()) [[unlikely]]
        return units.into_error();
    text.utf16 = true;
    text.units = units.value();
    return text;
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
