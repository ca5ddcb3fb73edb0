// Counting code points and UTF-8 bytes over ranges of a UTF-16 or Latin-1
// text, and the forward-only IndexCursor built on those counts. Nothing
// here decodes: a valid UTF-16 range holds one low surrogate per code point
// that needs two units, and a Latin-1 byte from 0x80 up takes two UTF-8
// bytes. Long ranges are counted by the kernels of the width in use.
#include "text/index_units.h"

#include "fault/fault.h"
#include "text/kernels.h"

#include <string>

namespace ostrel::text {

namespace {

// Below this many units a range is counted one unit at a time: an indirect
// call and a vector set-up cost more than they save there, and a search
// with dense matches asks for many short ranges.
constexpr std::size_t vector_minimum = 32;

// 1 for a unit that starts a code point (not a low surrogate), else 0.
std::size_t starts_code_point(char16_t unit) noexcept {
    return Utf16::continues(unit) ? 0 : 1;
}

// The UTF-8 length of each unit's share of its code point: 1, 2 or 3 for a
// unit below 0x80, below 0x800 or above, and 2 for each half of a pair.
std::size_t utf8_share(char16_t unit) noexcept {
    if ((unit & 0xF800) == 0xD800) return 2;
    return unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
}

}  // namespace

std::size_t count_code_points(Utf16Text text, std::size_t from, std::size_t to) noexcept {
    const char16_t* first = text.data() + from;
    if (to - from >= vector_minimum) return kernels().utf16_code_points(first, to - from);
    std::size_t count = 0;
    for (const char16_t* at = first; at != text.data() + to; ++at) count += starts_code_point(*at);
    return count;
}

std::size_t count_utf8_bytes(Utf16Text text, std::size_t from, std::size_t to) noexcept {
    const char16_t* first = text.data() + from;
    if (to - from >= vector_minimum) return kernels().utf16_utf8_bytes(first, to - from);
    std::size_t count = 0;
    for (const char16_t* at = first; at != text.data() + to; ++at) count += utf8_share(*at);
    return count;
}

std::size_t count_utf8_bytes(Latin1Text text, std::size_t from, std::size_t to) noexcept {
    // NOLINTNEXTLINE(bugprone-suspicious-stringview-data-usage)
    const auto* first = reinterpret_cast<const unsigned char*>(text.data()) + from;
    if (to - from >= vector_minimum)
        return (to - from) + kernels().count_high_bytes(first, to - from);
    std::size_t count = to - from;
    for (std::size_t k = 0; k < to - from; ++k) count += first[k] >> 7;
    return count;
}

namespace {

// The count of [from, to) of text in unit, which is not the text's own.
std::size_t count_units(Utf16, Utf16Text text, IndexUnit unit, std::size_t from,
                        std::size_t to) noexcept {
    return unit == IndexUnit::CodePoint ? count_code_points(text, from, to)
                                        : count_utf8_bytes(text, from, to);
}
std::size_t count_units(Latin1, Latin1Text text, IndexUnit, std::size_t from,
                        std::size_t to) noexcept {
    return count_utf8_bytes(text, from, to);
}

}  // namespace

template <typename Encoding>
IndexCursor<Encoding>::IndexCursor(Units text, IndexUnit unit) noexcept
    : text_(text), unit_(unit) {}

template <typename Encoding>
std::size_t IndexCursor<Encoding>::advance(std::size_t offset) {
    // Checking last_offset_ again is nearly free and catches a cursor whose
    // invariant was broken behind its back.
    const bool in_order = last_offset_ <= offset && offset <= text_.size();
    if (!in_order || !is_code_point_boundary<Encoding>(text_, offset) ||
        !is_code_point_boundary<Encoding>(text_, last_offset_)) [[unlikely]] {
        const char* noun = sizeof(Unit) == 1 ? "byte" : "unit";
        if (!in_order) {
            raise_fault(std::string("index cursor moved from ") + noun + " offset " +
                        std::to_string(last_offset_) + " to " + std::to_string(offset) + " of a " +
                        std::to_string(text_.size()) + "-" + noun + " text");
        }
        const std::size_t inner =
            is_code_point_boundary<Encoding>(text_, offset) ? last_offset_ : offset;
        raise_fault(std::string("index cursor given ") + noun + " offset " + std::to_string(inner) +
                    ", which is inside a code point");
    }
    if (Encoding::counts_as(unit_)) {
        last_index_ = offset;
    } else {
        last_index_ += count_units(Encoding{}, text_, unit_, last_offset_, offset);
    }
    last_offset_ = offset;
    return last_index_;
}

template class IndexCursor<Utf16>;
template class IndexCursor<Latin1>;

}  // namespace ostrel::text
