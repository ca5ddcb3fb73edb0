// Argument and result conversions. A str is encoded once, to UTF-8 or to
// UTF-16, and the text is a view into those bytes; an ASCII str is viewed
// in place.
#include "binding/conversions.h"

#include "binding/call_scope.h"
#include "binding/object_cell.h"

#include <atomic>
#include <climits>
#include <limits>

namespace ostrel {

namespace {

using NoArgsFunction = PyCFunction;  // (self, unused) -> result

// The C function behind str.isascii, taken once from a bound method of a
// plain str: it reads the str's own storage, so it answers for any str or
// subclass with no Python-level call, and no override can change it. Should
// the method not be a plain no-argument C function, str.isascii itself is
// called instead (`isascii_method`). Filled on first need, never released;
// threads that race to fill them find the same answer.
constinit std::atomic<NoArgsFunction> isascii_function{nullptr};
constinit ObjectCell isascii_method;

void find_isascii() {
    ObjectRef empty = checked(PyUnicode_FromStringAndSize(nullptr, 0));
    ObjectRef bound = checked(PyObject_GetAttrString(empty.get(), "isascii"));
    if (PyCFunction_Check(bound.get()) && PyCFunction_GetFlags(bound.get()) == METH_NOARGS) {
        isascii_function.store(PyCFunction_GetFunction(bound.get()), std::memory_order_release);
        return;
    }
    isascii_method.get([] {
        return checked(
            PyObject_GetAttrString(reinterpret_cast<PyObject*>(&PyUnicode_Type), "isascii"));
    });
}

}  // namespace

bool is_ascii(PyObject* text) {
    NoArgsFunction function = isascii_function.load(std::memory_order_acquire);
    PyObject* method = isascii_method.peek();
    if (function == nullptr && method == nullptr) [[unlikely]] {
        find_isascii();
        function = isascii_function.load(std::memory_order_acquire);
        method = isascii_method.peek();
    }
    ObjectRef answer =
        ObjectRef::steal(function != nullptr ? function(text, nullptr)
                                             : PyObject_CallFunctionObjArgs(method, text, nullptr));
    if (!answer) [[unlikely]] {
        (void)take_error();
        return false;
    }
    return answer.get() == Py_True;
}

namespace {

// The bytes object of an encoding, held by the call's scope.
std::string_view held_bytes(ObjectRef bytes, std::size_t skip = 0) {
    PyObject* held = CallScope::push(std::move(bytes));
    return std::string_view(PyBytes_AsString(held) + skip,
                            static_cast<std::size_t>(PyBytes_Size(held)) - skip);
}

// The UTF-8 bytes of a str; the error is the interpreter's, a lone
// surrogate's UnicodeEncodeError included.
Result<std::string_view> utf8_of(PyObject* object) {
    ObjectRef bytes = ObjectRef::steal(PyUnicode_AsUTF8String(object));
    if (!bytes) [[unlikely]]
        return fetch_error();
    return held_bytes(std::move(bytes));
}

// After another encoder refused a str: the UTF-8 encoder's error when it
// refuses it too (a surrogate), otherwise nothing and the str is valid.
Status utf8_refusal(PyObject* object) {
    ObjectRef bytes = ObjectRef::steal(PyUnicode_AsUTF8String(object));
    if (!bytes) [[unlikely]]
        return fetch_error();
    return std::nullopt;
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
        if (Status failure = utf8_refusal(object)) return std::move(*failure);
        return refused;  // not a surrogate, then: out of memory
    }
    constexpr std::size_t mark = 2;
    const std::string_view units = held_bytes(std::move(bytes), mark);
    // Bytes objects hold their data at an even address, so the units
    // after the two-byte mark are aligned.
    return std::u16string_view(reinterpret_cast<const char16_t*>(units.data()), units.size() / 2);
}

// The Latin-1 bytes of a str, or nothing when it holds a character above
// U+00FF; a surrogate fails with the UTF-8 encoder's error.
Result<std::optional<std::string_view>> latin1_of(PyObject* object) {
    ObjectRef bytes = ObjectRef::steal(PyUnicode_AsLatin1String(object));
    if (bytes) [[likely]]
        return std::optional<std::string_view>(held_bytes(std::move(bytes)));
    PyErr refused = fetch_error();
    if (Status failure = utf8_refusal(object)) return std::move(*failure);
    refused.normalize();
    if (!PyErr_GivenExceptionMatches(refused.type(), PyExc_UnicodeEncodeError)) return refused;
    return std::optional<std::string_view>();
}

std::size_t size_of(PyObject* sizeof_method, PyObject* str) {
    ObjectRef size = ObjectRef::steal(PyObject_CallFunctionObjArgs(sizeof_method, str, nullptr));
    std::size_t value = size ? PyLong_AsSize_t(size.get()) : static_cast<std::size_t>(-1);
    if (value == static_cast<std::size_t>(-1)) [[unlikely]] {
        (void)take_error();
        return 0;
    }
    return value;
}

// str.__sizeof__, and the header size it shows: `unmeasured` until one
// thread has measured it (threads that measure at once find the same), 0
// when the layout is not the one storage_width reads or the measure failed.
constexpr std::size_t unmeasured = ~std::size_t{0};
constinit std::atomic<std::size_t> str_header{unmeasured};
constinit ObjectCell str_sizeof;

std::size_t measure_str_header() {
    PyObject* sizeof_method = str_sizeof.peek();
    if (sizeof_method == nullptr) {
        ObjectRef found = ObjectRef::steal(
            PyObject_GetAttrString(reinterpret_cast<PyObject*>(&PyUnicode_Type), "__sizeof__"));
        if (!found) {
            (void)take_error();
            return 0;
        }
        sizeof_method = str_sizeof.get([&found] { return std::move(found); });
    }
    ObjectRef narrow = ObjectRef::steal(PyUnicode_FromStringAndSize("\xC3\xA9\xC3\xA9", 4));
    ObjectRef wide = ObjectRef::steal(PyUnicode_FromStringAndSize("\xC4\x80\xC4\x80", 4));
    if (!narrow || !wide) {
        (void)take_error();
        return 0;
    }
    const std::size_t narrow_size = size_of(sizeof_method, narrow.get());
    if (narrow_size > 3 && size_of(sizeof_method, wide.get()) == narrow_size + 3)
        return narrow_size - 3;
    return 0;
}

// The bytes per character in which a long exact str is stored (1, 2 or 4),
// or 0 when that is not known. The interpreter copies a str of width 1 as
// it lies into Latin-1 and one of width 2 into UTF-16. The limited API does
// not tell the width, but a str's size in memory does: a header, then
// (length + 1) characters of the width, and nothing more unless other
// forms of it are cached. The header is measured once on two fresh strs of
// widths 1 and 2; if they disagree with that layout, or anything fails, the
// answer is always 0. A wrong answer costs time only: an encoder then
// refuses the str or does a slower conversion.
std::size_t storage_width(PyObject* object, std::size_t length) {
    constexpr std::size_t long_enough = 512;  // below this the probe is not worth a call
    if (length < long_enough || !PyUnicode_CheckExact(object)) return 0;
    std::size_t header = str_header.load(std::memory_order_acquire);
    if (header == unmeasured) [[unlikely]] {
        header = measure_str_header();
        str_header.store(header, std::memory_order_release);
    }
    if (header == 0) return 0;
    const std::size_t size = size_of(str_sizeof.peek(), object);
    for (const std::size_t width : {1, 2, 4}) {
        if (size == header + width * (length + 1)) return width;
    }
    return 0;
}

}  // namespace

Result<StrText> to_text(PyObject* object, TextForm form) {
    if (!(PyType_GetFlags(Py_TYPE(object)) & Py_TPFLAGS_UNICODE_SUBCLASS)) [[unlikely]]
        return conversion_error(object, "PyString");
    StrText text;
    text.code_points = static_cast<std::size_t>(PyUnicode_GetLength(object));
    if (form != TextForm::Utf16 && form != TextForm::Latin1 && is_ascii(object)) {
        Py_ssize_t size = 0;
        const char* data = PyUnicode_AsUTF8AndSize(object, &size);
        if (data != nullptr) [[likely]] {
            text.ascii = true;
            text.bytes = std::string_view(data, static_cast<std::size_t>(size));
            return text;
        }
        (void)take_error();
    }
    const bool cheapest = form == TextForm::CheapestOrUtf8 || form == TextForm::CheapestOrUtf16;
    const std::size_t width = cheapest ? storage_width(object, text.code_points) : 0;
    if (form == TextForm::Latin1 || width == 1) {
        Result<std::optional<std::string_view>> latin1 = latin1_of(object);
        if (!latin1.ok()) [[unlikely]]
            return latin1.into_error();
        if (const std::optional<std::string_view>& bytes = latin1.value()) {
            text.held = StrText::Held::Latin1;
            text.bytes = *bytes;
            return text;
        }
        if (form == TextForm::Latin1) {
            text.held = StrText::Held::Latin1;
            text.beyond_latin1 = true;
            return text;
        }
    }
    if (form == TextForm::Utf8 || (form == TextForm::CheapestOrUtf8 && width != 2)) {
        Result<std::string_view> utf8 = utf8_of(object);
        if (!utf8.ok()) [[unlikely]]
            return utf8.into_error();
        text.bytes = utf8.value();
        return text;
    }
    Result<std::u16string_view> units = utf16_of(object);
    if (!units.ok()) [[unlikely]]
        return units.into_error();
    text.held = StrText::Held::Utf16;
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
