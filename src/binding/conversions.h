// Conversions between Python values and the module's own types: a str to
// the units the text functions read (UTF-8 or UTF-16, viewed for as long as
// the call lasts), an integer to an unsigned machine word, and back to int
// and list of int.
#pragma once

#include "binding/result.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace ostrel {

// The form a str is wanted in. An ASCII str is valid UTF-8 as it lies, so
// every form but Utf16 and Latin1 views its own characters without a copy.
enum class TextForm {
    Utf8,    // UTF-8 bytes
    Utf16,   // UTF-16 units, an ASCII str included
    Latin1,  // one byte per character; a character above U+00FF is reported
    // The cheapest form that the text functions search: ASCII in place;
    // for a long str, Latin-1 when it holds nothing above U+00FF and UTF-16
    // when it holds nothing above U+FFFF (the interpreter copies such strs'
    // characters as they are); otherwise UTF-8 or UTF-16 as named.
    CheapestOrUtf8,
    CheapestOrUtf16,
};

// What to_text found: the str's characters in one encoding, valid while
// the call lasts and the str lives (bound arguments live for the call).
struct StrText {
    enum class Held { Utf8, Utf16, Latin1 };
    Held held = Held::Utf8;
    std::string_view bytes;     // Utf8: valid UTF-8; Latin1: one byte per character
    std::u16string_view units;  // Utf16: valid UTF-16 in machine byte order
    bool ascii = false;         // only ASCII: every index unit equals the offset
    // Latin1 wanted but the str holds a character above U+00FF (and no
    // surrogate): bytes is empty, and the str occurs in no Latin-1 text.
    bool beyond_latin1 = false;
    std::size_t code_points = 0;  // the str's length

    // Whether each UTF-16 unit is one code point (no surrogate pair).
    bool units_are_code_points() const noexcept { return units.size() == code_points; }
};

// The str's characters in the wanted form, encoded strictly: a str that
// holds a lone surrogate fails with the UTF-8 encoder's UnicodeEncodeError
// in every form, and a non-str with conversion_error(object, "PyString").
// The encoded bytes are held by the call's scope.
Result<StrText> to_text(PyObject* object, TextForm form);
Result<std::size_t> to_word(PyObject* object);

// Whether a str holds only ASCII, asked of str.isascii's own C function so
// that a subclass cannot change the answer; then its UTF-8 form is its own
// character data. A failure of the check answers false.
bool is_ascii(PyObject* text);

ObjectRef word_to_int(std::size_t word);
ObjectRef indices_to_list(std::span<const std::size_t> indices);

}  // namespace ostrel
