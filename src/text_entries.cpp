// Python-facing wrappers around the text core. Every wrapper runs in the
// call frame: bind, convert `string` then `substring` (the first failure
// names its parameter), search, and build the list of int.
#include "text_entries.h"

#include "binding/bind_arguments.h"
#include "binding/call_scope.h"
#include "binding/conversions.h"
#include "binding/frame.h"
#include "binding/gil_release.h"
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

Result<StrText> text_argument(const char* name, PyObject* object, TextForm form) {
    Result<StrText> text = to_text(object, form);
    if (!text.ok()) [[unlikely]]
        return wrap_argument_error(name, text.into_error());
    return text;
}

// Each string is searched in the cheapest form to get: an ASCII str in
// place, a str of characters up to U+00FF in Latin-1 (a copy, where every
// offset is a code-point and a UTF-16 index), one up to U+FFFF in UTF-16
// (a copy too). Any other is searched in UTF-8 for byte offsets, which
// count its units, and otherwise in UTF-16, which the interpreter makes
// more cheaply than UTF-8. A match of UTF-16 units is a match of code
// points, as a valid needle never starts or ends inside a surrogate pair.
text::IndexList search(const StrText& string, const StrText& substring, IndexUnit unit,
                       Direction direction) {
    switch (string.held) {
        case StrText::Held::Utf8:
            return text::match_indices<text::Utf8>(
                string.bytes, substring.bytes, string.ascii ? IndexUnit::Byte : unit, direction);
        case StrText::Held::Latin1:
            if (substring.beyond_latin1) return {};
            return text::match_indices<text::Latin1>(string.bytes, substring.bytes, unit,
                                                     direction);
        case StrText::Held::Utf16: {
            const bool same = unit == IndexUnit::CodePoint && string.units_are_code_points();
            return text::match_indices<text::Utf16>(string.units, substring.units,
                                                    same ? IndexUnit::Utf16 : unit, direction);
        }
    }
    return {};
}

// The bytes a search reads from the string, which decide whether the lock
// is released for it.
std::size_t scanned_bytes(const StrText& string) {
    // One of the two views is empty: the string is held in one form.
    return string.bytes.size() + string.units.size() * sizeof(char16_t);
}

// The substring is read in the string's encoding.
TextForm same_form(const StrText& string) {
    switch (string.held) {
        case StrText::Held::Utf8: return TextForm::Utf8;
        case StrText::Held::Latin1: return TextForm::Latin1;
        case StrText::Held::Utf16: return TextForm::Utf16;
    }
    return TextForm::Utf8;
}

PyObject* run_match(const ParamTable& table, IndexUnit unit, Direction direction, PyObject* args,
                    PyObject* kwargs) noexcept {
    return run_frame([&]() -> Result<ObjectRef> {
        ArgumentSlots<2> slots;
        if (Status failure = bind_arguments(table, args, kwargs, slots)) [[unlikely]]
            return std::move(*failure);
        const TextForm form =
            unit == IndexUnit::Byte ? TextForm::CheapestOrUtf8 : TextForm::CheapestOrUtf16;
        Result<StrText> string = text_argument("string", slots[0], form);
        if (!string.ok()) [[unlikely]]
            return string.into_error();
        Result<StrText> substring = text_argument("substring", slots[1], same_form(string.value()));
        if (!substring.ok()) [[unlikely]]
            return substring.into_error();
        const bool release = scanned_bytes(string.value()) >= release_threshold_bytes;
        if (release) [[unlikely]] {
            // The texts view the two strs (an ASCII one in place) or bytes
            // objects of this call's scope, which nothing else holds. While
            // the lock is released, another thread could drop the last
            // reference to an argument (say, from a keyword dict that C
            // code passed), so the call's scope holds its own.
            CallScope::push(ObjectRef::borrow(slots[0]));
            CallScope::push(ObjectRef::borrow(slots[1]));
        }
        // One call site, so that the search stays inlined in the short call;
        // the lock is back before the list is built.
        const text::IndexList found = [&] {
            const UnlockedScope unlocked(release);
            return search(string.value(), substring.value(), unit, direction);
        }();
        return indices_to_list(found);
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
        Result<StrText> string = text_argument("string", slots[0], TextForm::CheapestOrUtf16);
        if (!string.ok()) [[unlikely]]
            return string.into_error();
        const StrText& text = string.value();
        switch (text.held) {
            case StrText::Held::Utf16: return word_to_int(text.units.size());
            case StrText::Held::Latin1: return word_to_int(text.code_points);
            case StrText::Held::Utf8: break;
        }
        // This form holds a str as UTF-8 only when it is ASCII, one unit per
        // character.
        return word_to_int(text.code_points);
    });
}

}  // namespace ostrel
