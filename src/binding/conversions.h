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
// the forms that allow it view its own characters without a copy.
enum class TextForm {
    Utf8,          // UTF-8 bytes; an ASCII str in place
    Utf16,         // UTF-16 units, an ASCII str included
    AsciiOrUtf16,  // an ASCII str in place as UTF-8, any other as UTF-16
};

// What to_text found: the str's characters in one encoding, valid while
// the call lasts and the str lives (bound arguments live for the call).
struct StrText {
    bool utf16 = false;           // which of the two views holds the characters
    std::string_view utf8;        // valid UTF-8 when !utf16
    std::u16string_view units;    // valid UTF-16 in machine byte order when utf16
    bool ascii = false;           // only ASCII: every index unit equals the offset
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

// Whether a str holds only ASCII, asked of str.isascii itself so that a
// subclass cannot change the answer; then its UTF-8 form is its own
// character data. A failure of the check answers false.
bool is_ascii(PyObject* text);

ObjectRef word_to_int(std::size_t word);
ObjectRef indices_to_list(std::span<const std::size_t> indices);

}  // namespace ostrel
