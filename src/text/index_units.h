// Positions in a text in the three units the module reports: UTF-8 byte
// offsets, code-point indices and UTF-16 code-unit indices. A text is held
// as UTF-8, UTF-16 or Latin-1, and every position found by a search is an
// offset in the held units first; IndexCursor turns a non-decreasing series
// of them into another unit incrementally.
#pragma once

#include <cstddef>
#include <string_view>

namespace ostrel::text {

enum class IndexUnit { Byte, CodePoint, Utf16 };

// The encodings a text is held in. Each names its code unit, which units
// never start a code point, and which index units its offsets already are.
struct Utf8 {
    using Unit = char;
    // Bytes 0x80 to 0xBF.
    static constexpr bool continues(char byte) noexcept {
        return static_cast<signed char>(byte) < -0x40;
    }
    static constexpr bool counts_as(IndexUnit unit) noexcept { return unit == IndexUnit::Byte; }
};
struct Utf16 {
    using Unit = char16_t;
    // Low surrogates.
    static constexpr bool continues(char16_t unit) noexcept { return (unit & 0xFC00) == 0xDC00; }
    static constexpr bool counts_as(IndexUnit unit) noexcept { return unit == IndexUnit::Utf16; }
};
// One byte per code point, for text that holds nothing above U+00FF: an
// offset is a code-point index and a UTF-16 index at once.
struct Latin1 {
    using Unit = char;
    static constexpr bool continues(char) noexcept { return false; }
    static constexpr bool counts_as(IndexUnit unit) noexcept { return unit != IndexUnit::Byte; }
};

// A read-only run of valid text in one encoding; it may hold U+0000. UTF-8
// never holds a surrogate; in UTF-16 (machine byte order) every high
// surrogate is followed by a low one and every low one preceded by a high
// one. Offsets into it are units from 0 to size().
template <typename Encoding>
using Units = std::basic_string_view<typename Encoding::Unit>;
using Text = Units<Utf8>;
using Utf16Text = Units<Utf16>;
using Latin1Text = Units<Latin1>;

// True for 0, size() and every offset at a unit that starts a code point.
template <typename Encoding>
constexpr bool is_code_point_boundary(Units<Encoding> text, std::size_t offset) noexcept {
    return offset == 0 || offset == text.size() ||
           (offset < text.size() && !Encoding::continues(text[offset]));
}

// The number of code points in UTF-16 units [from, to), counted from the
// units that start one (all but low surrogates), without decoding.
// Requires from <= to <= size(), both boundaries. Cost: one read of each
// unit, a vector of the width in use a step.
std::size_t count_code_points(Utf16Text text, std::size_t from, std::size_t to) noexcept;

// The number of UTF-8 bytes that the code points in units [from, to)
// occupy: in UTF-16 1, 2 or 3 for a unit below 0x80, 0x800 or else, and 4
// for a surrogate pair; in Latin-1 1 or 2 for a byte below 0x80 or else.
// Same requirements and cost as count_code_points.
std::size_t count_utf8_bytes(Utf16Text text, std::size_t from, std::size_t to) noexcept;
std::size_t count_utf8_bytes(Latin1Text text, std::size_t from, std::size_t to) noexcept;

// Converts offsets of one text, handed over in non-decreasing order, into
// indices in one unit. It only counts the units between the previous
// offset and the new one, so converting any number of offsets reads each
// unit of the text at most once. Borrows the text; owns nothing. Held as
// UTF-16 or Latin-1 only: a UTF-8 text is only ever searched for byte
// offsets, which are its own.
template <typename Encoding>
class IndexCursor {
public:
    using Unit = typename Encoding::Unit;
    using Units = text::Units<Encoding>;

    // A cursor whose unit the text's offsets already are returns them
    // unchanged.
    IndexCursor(Units text, IndexUnit unit) noexcept;

    // The index of offset in the cursor's unit. offset must not be below
    // the previous one and must be a code-point boundary; anything else is
    // an internal fault (ostrel::InternalFault), since match starts handed
    // over in ascending order always qualify.
    std::size_t advance(std::size_t offset);

private:
    Units text_;
    IndexUnit unit_;
    // Invariant: last_index_ is the index of last_offset_ in unit_, and
    // last_offset_ is a code-point boundary of text_.
    std::size_t last_offset_ = 0;
    std::size_t last_index_ = 0;
};

extern template class IndexCursor<Utf16>;
extern template class IndexCursor<Latin1>;

}  // namespace ostrel::text
