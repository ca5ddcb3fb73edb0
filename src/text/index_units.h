// Positions in a Text in the three units the module reports: UTF-8 byte
// offsets, code-point indices and UTF-16 code-unit indices. Every position
// found by a search is a byte offset first; IndexCursor turns a
// non-decreasing series of them into one of the other units incrementally.
#pragma once

#include <cstddef>
#include <string_view>

namespace ostrel::text {

// A read-only run of valid UTF-8 (it may hold U+0000, and never holds a
// surrogate). Offsets into it run from 0 to size().
using Text = std::string_view;

enum class IndexUnit { Byte, CodePoint, Utf16 };

// True for bytes 0x80 to 0xBF, which never start a code point.
constexpr bool is_continuation_byte(char byte) noexcept {
    return static_cast<signed char>(byte) < -0x40;
}

// True for 0, size() and every offset at a lead byte.
constexpr bool is_code_point_boundary(Text text, std::size_t offset) noexcept {
    return offset == 0 || offset == text.size() ||
           (offset < text.size() && !is_continuation_byte(text[offset]));
}

// The number of code points in bytes [from, to), counted from lead bytes
// without decoding. Requires from <= to <= size(), both boundaries.
// Cost: one read of each byte; a machine word at a time for ranges of four
// words or more, byte by byte below that (the two give equal counts).
std::size_t count_code_points(Text text, std::size_t from, std::size_t to) noexcept;

// The number of UTF-16 code units that the code points in bytes [from, to)
// occupy: one per code point, plus one more for each four-byte sequence
// (lead byte 0xF0 and up), whose code point lies above U+FFFF. Same
// requirements and cost as count_code_points.
std::size_t count_utf16_units(Text text, std::size_t from, std::size_t to) noexcept;

// The length of the whole Text in UTF-16 code units.
std::size_t utf16len(Text text) noexcept;

// Converts byte offsets of one Text, handed over in non-decreasing order,
// into indices in one unit. It only counts the bytes between the previous
// offset and the new one, so converting any number of offsets reads each
// byte of the Text at most once. Borrows the Text; owns nothing.
class IndexCursor {
public:
    // unit is CodePoint or Utf16; a Byte cursor returns offsets unchanged.
    IndexCursor(Text text, IndexUnit unit) noexcept;

    // The index of offset in the cursor's unit. offset must not be below
    // the previous one and must be a code-point boundary; anything else is
    // an internal fault (ostrel::InternalFault), since match starts handed
    // over in ascending order always qualify.
    std::size_t advance(std::size_t offset);

private:
    Text text_;
    IndexUnit unit_;
    // Invariant: last_index_ is the index of last_offset_ in unit_, and
    // last_offset_ is a code-point boundary of text_.
    std::size_t last_offset_ = 0;
    std::size_t last_index_ = 0;
};

}  // namespace ostrel::text
