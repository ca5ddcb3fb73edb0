// Conversions between Python values and the module's own types: a str to
// a Text (a UTF-8 view that lives as long as the call), an integer to an
// unsigned machine word, and back to int and list of int.
#pragma once

#include "binding/result.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace ostrel {

// Valid UTF-8 bytes, borrowed from an object that the call keeps alive.
using Text = std::string_view;

// The Text views the bytes of one strict UTF-8 encoding held by the call's
// scope or, for an ASCII str, the str's own characters: it is valid while
// the call lasts and `object` lives (bound arguments live for the call).
// When `ascii` is given, it is set to whether the str holds only ASCII (so
// that byte offsets are also code-point and UTF-16 indices).
Result<Text> to_text(PyObject* object, bool* ascii = nullptr);
Result<std::size_t> to_word(PyObject* object);

// Whether a str holds only ASCII, asked of str.isascii's own C function so
// that a subclass cannot change the answer; then its UTF-8 form is its own
// character data. A failure of the check answers false.
bool is_ascii(PyObject* text);

ObjectRef word_to_int(std::size_t word);
ObjectRef indices_to_list(std::span<const std::size_t> indices);

}  // namespace ostrel
