// Positions in a text in the three units the module reports: UTF-8 byte
// offsets, code-point indices and UTF-16 code-unit indices. A text is held
// either as UTF-8 (Text) or as UTF-16 (Utf16Text), and every position found
// by a search is an offset in the held unit first; IndexCursor turns a
// non-decreasing series of them into another unit incrementally.
#pragma once

#include <cstddef>
#include <string_view>

namespace ostrel::text {

// A read-only run of valid UTF-8 (it may hold U+0000, and never holds a
// surrogate). Offsets into it run from 0 to size().
using Text = std::string_view;

// A read-only run of valid UTF-16 in the machine's byte order: every high
// surrogate is followed by a low one and every low one preceded by a high
// one. Offsets into it are code units from 0 to size().
using Utf16Text = std::u16string_view;

enum class IndexUnit { Byte, CodePoint, Utf16 };

// True for the units that never start a code point: UTF-8 bytes 0x80 to
// 0xBF, UTF-16 low surrogates.
constexpr bool is_continuation_unit(char byte) noexcept {
    return static_cast<signed char>(byte) < -0x40;
}
constexpr bool is_continuation_unit(char16_t unit) noexcept {
    return (unit & 0xFC00) == 0xDC00;
}

// True for 0, size() and every offset at a unit that starts a code point.
template <typename Unit>
constexpr bool is_code_point_boundary(std::basic_string_view<Unit> text,
                                      std::size_t offset) noexcept {
    return offset == 0 || offset == text.size() ||
           (offset < text.size() && !is_continuation_unit(text[offset]));
}

// The number of code points in units [from, to), counted from the units
// that start one, without decoding. Requires from <= to <= size(), both
// boundaries. Cost: one read of each unit; for UTF-8 a machine word at a
// time for ranges of four words or more, byte by byte below that (the two
// give equal counts).
std::size_t count_code_points(Text text, std::size_t from, std::size_t to) noexcept;
std::size_t count_code_points(Utf16Text text, std::size_t from, std::size_t to) noexcept;

// The number of UTF-16 code units that the code points in bytes [from, to)
// occupy: one per code point, plus one more for each four-byte sequence
// (lead byte 0xF0 and up), whose code point lies above U+FFFF. Same
// requirements and cost as count_code_points.
std::size_t count_utf16_units(Text text, std::size_t from, std::size_t to) noexcept;

// The number of UTF-8 bytes that the code points in units [from, to)
// occupy: 1, 2 or 3 for a unit below 0x80, 0x800 or else, and 4 for a
// surrogate pair. Same requirements and cost as count_code_points.
std::size_t count_utf8_bytes(Utf16Text text, std::size_t from, std::size_t to) noexcept;

// The length of the whole Text in UTF-16 code units.
std::size_t utf16len(Text text) noexcept;

// Converts offsets of one text, handed over in non-decreasing order, into
// indices in one unit. It only counts the units between the previous
// offset and the new one, so converting any number of offsets reads each
// unit of the text at most once. Borrows the text; owns nothing.
template <typename Unit>
class IndexCursor {
public:
    // A cursor whose unit is the text's own returns offsets unchanged.
    IndexCursor(std::basic_string_view<Unit> text, IndexUnit unit) noexcept;

    // The index of offset in the cursor's unit. offset must not be below
    // the previous one and must be a code-point boundary; anything else is
    // an internal fault (ostrel::InternalFault), since match starts handed
    // over in ascending order always qualify.
    std::size_t advance(std::size_t offset);

private:
    std::basic_string_view<Unit> text_;
    IndexUnit unit_;
    // Invariant: last_index_ is the index of last_offset_ in unit_, and
    // last_offset_ is a code-point boundary of text_.
    std::size_t last_offset_ = 0;
    std::size_t last_index_ = 0;
};

extern template class IndexCursor<char>;
extern template class IndexCursor<char16_t>;

}  // namespace ostrel::text
