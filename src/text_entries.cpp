// Python-facing wrappers around the text core. Every wrapper runs in the
// call frame: bind, convert `string` then `substring` (the first failure
// names its parameter), search, and build the list of int.
#include "text_entries.h"

#include "binding/bind_arguments.h"
#include "binding/conversions.h"
#include "binding/frame.h"
#include "text/index_units.h"
#include "text/match_functions.h"

#include <optional>
#include <string_view>

namespace ostrel {

namespace {

using text::Direction;
using text::IndexUnit;

constexpr std::string_view match_params[] = {"string", "substring"};
constexpr std::string_view utf16len_params[] = {"string"};

constexpr ParamTable match_table(std::string_view name) {
    return ParamTable{std::nullopt, name, match_params, 0, 2, {}};
}

const ParamTable match_indices_table = match_table("match_indices");
const ParamTable match_utf16_indices_table = match_table("match_utf16_indices");
const ParamTable match_byte_indices_table = match_table("match_byte_indices");
const ParamTable rmatch_indices_table = match_table("rmatch_indices");
const ParamTable rmatch_utf16_indices_table = match_table("rmatch_utf16_indices");
const ParamTable rmatch_byte_indices_table = match_table("rmatch_byte_indices");
const ParamTable utf16len_table{std::nullopt, "utf16len", utf16len_params, 0, 1, {}};

Result<Text> text_argument(const char* name, PyObject* object, bool* ascii = nullptr) {
    Result<Text> text = to_text(object, ascii);
    if (!text.ok()) [[unlikely]]
        return wrap_argument_error(name, text.into_error());
    return text;
}

// The UTF-16 length of a non-ASCII str, read off the interpreter's own
// UTF-16 encoder: it widens the str's characters directly, which costs a
// fraction of encoding to UTF-8 and counting. Nothing for anything else (an
// ASCII str, a non-str, a str that cannot be encoded): the UTF-8 path then
// answers or reports the error, so every result and message stays the one
// the UTF-8 count gives.
std::optional<std::size_t> utf16_units_of(PyObject* object) {
    if (!(PyType_GetFlags(Py_TYPE(object)) & Py_TPFLAGS_UNICODE_SUBCLASS)) return std::nullopt;
    if (is_ascii(object)) return static_cast<std::size_t>(PyUnicode_GetLength(object));
    constexpr Py_ssize_t short_text = 64;  // below this, the UTF-8 path is cheaper
    if (PyUnicode_GetLength(object) < short_text) return std::nullopt;
    ObjectRef encoded = ObjectRef::steal(PyUnicode_AsUTF16String(object));
    if (!encoded) [[unlikely]] {
        (void)take_error();
        return std::nullopt;
    }
    // Two bytes a unit, after a two-byte byte-order mark.
    return static_cast<std::size_t>(PyBytes_Size(encoded.get()) - 2) / 2;
}

PyObject* run_match(const ParamTable& table, IndexUnit unit, Direction direction, PyObject* args,
                    PyObject* kwargs) noexcept {
    return run_frame([&]() -> Result<ObjectRef> {
        ArgumentSlots<2> slots;
        if (Status failure = bind_arguments(table, args, kwargs, slots)) [[unlikely]]
            return std::move(*failure);
        bool ascii = false;
        Result<Text> string = text_argument("string", slots[0], &ascii);
        if (!string.ok()) [[unlikely]]
            return string.into_error();
        Result<Text> substring = text_argument("substring", slots[1]);
        if (!substring.ok()) [[unlikely]]
            return substring.into_error();
        // In an ASCII string every unit counts one per byte, so the byte
        // offsets are already the answer and no conversion is needed.
        text::IndexList indices = text::match_indices(string.value(), substring.value(),
                                                      ascii ? IndexUnit::Byte : unit, direction);
        return indices_to_list(indices);
    });
}

}  // namespace

PyObject* match_indices_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run_match(match_indices_table, IndexUnit::CodePoint, Direction::Forward, args, kwargs);
}

PyObject* match_utf16_indices_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run_match(match_utf16_indices_table, IndexUnit::Utf16, Direction::Forward, args, kwargs);
}

PyObject* match_byte_indices_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run_match(match_byte_indices_table, IndexUnit::Byte, Direction::Forward, args, kwargs);
}

PyObject* rmatch_indices_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run_match(rmatch_indices_table, IndexUnit::CodePoint, Direction::Reverse, args, kwargs);
}

PyObject* rmatch_utf16_indices_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run_match(rmatch_utf16_indices_table, IndexUnit::Utf16, Direction::Reverse, args,
                     kwargs);
}

PyObject* rmatch_byte_indices_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run_match(rmatch_byte_indices_table, IndexUnit::Byte, Direction::Reverse, args, kwargs);
}

PyObject* utf16len_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run_frame([&]() -> Result<ObjectRef> {
        ArgumentSlots<1> slots;
        if (Status failure = bind_arguments(utf16len_table, args, kwargs, slots)) [[unlikely]]
            return std::move(*failure);
        if (std::optional<std::size_t> units = utf16_units_of(slots[0])) return word_to_int(*units);
        bool ascii = false;
        Result<Text> string = text_argument("string", slots[0], &ascii);
        if (!string.ok()) [[unlikely]]
            return string.into_error();
        if (ascii) return word_to_int(string.value().size());
        return word_to_int(text::utf16len(string.value()));
    });
}

}  // namespace ostrel
