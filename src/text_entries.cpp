// Python-facing wrappers around the text core. Every wrapper runs in the
// call frame: bind, convert `string` then `substring` (the first failure
// names its parameter), search, and build the list of int.
#include "text_entries.h"

#include "binding/bind_arguments.h"
#include "binding/conversions.h"
#include "binding/frame.h"
#include "text/index_units.h"
#include "text/match_functions.h"

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
        text::IndexList indices = text::match_indices(
            string.value(), substring.value(), ascii ? IndexUnit::Byte : unit, direction);
        return indices_to_list(indices);
    });
}

}  // namespace

PyObject* match_indices_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run_match(match_indices_table, IndexUnit::CodePoint, Direction::Forward, args, kwargs);
}

PyObject* match_utf16_indices_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return run_match(match_utf16_indices_table, IndexUnit::Utf16, Direction::Forward, args,
                     kwargs);
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
        bool ascii = false;
        Result<Text> string = text_argument("string", slots[0], &ascii);
        if (!string.ok()) [[unlikely]]
            return string.into_error();
        return word_to_int(ascii ? string.value().size() : text::utf16len(string.value()));
    });
}

}  // namespace ostrel
