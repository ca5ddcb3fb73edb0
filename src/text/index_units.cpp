// Counting code points, UTF-16 units and UTF-8 bytes over ranges of a text,
// and the forward-only IndexCursor built on those counts. Nothing here
// decodes: a valid UTF-8 range holds one lead byte per code point, and one
// lead byte 0xF0 or above per code point that needs a UTF-16 surrogate
// pair; a valid UTF-16 range holds one low surrogate per such pair.
#include "text/index_units.h"

#include "fault/fault.h"
#include "platform/portable.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

namespace ostrel::text {

namespace {

// The word-at-a-time kernels run on the native unsigned machine word, so a
// 32-bit build reads four bytes a step and a 64-bit build eight.
using Word = std::size_t;
constexpr std::size_t word_bytes = sizeof(Word);
constexpr Word low_bits = ~Word{0} / 0xFF;     // 0x01 in every byte
constexpr Word high_bits = low_bits * 0x80;    // 0x80 in every byte
constexpr Word low_pairs = ~Word{0} / 0xFFFF;  // 0x0001 in every 16-bit lane
constexpr Word even_bytes = low_pairs * 0xFF;  // 0x00FF in every 16-bit lane

// Below this many bytes the word loop's set-up and tail cost more than it
// saves, so the range is counted byte by byte.
constexpr std::size_t wordwise_minimum = 4 * word_bytes;

Word load_word(const char* at) noexcept {
    Word word;
    std::memcpy(&word, at, sizeof word);  // unaligned and free of aliasing issues
    return word;
}

// 0x01 in each byte of word that is a lead byte, that is, whose top two bits
// are not 1 then 0: either bit 7 is clear or bit 6 (moved up by the shift)
// is set. Shifting left never carries a byte's bit 6 into another byte's 7.
Word lead_byte_flags(Word word) noexcept {
    return ((~word | (word << 1)) & high_bits) >> 7;
}

// 0x01 in each byte of word from 0xF0 up: its top four bits are all set.
Word four_byte_lead_flags(Word word) noexcept {
    return ((word & (word << 1) & (word << 2) & (word << 3)) & high_bits) >> 7;
}

// The sum of the byte lanes of flags; each lane is at most 255.
std::size_t sum_byte_lanes(Word flags) noexcept {
    // Pairs of lanes are added first into 16-bit lanes (at most 510 each),
    // so the multiply that adds all lanes into the top one cannot overflow.
    const Word pairs = (flags & even_bytes) + ((flags >> 8) & even_bytes);
    return (pairs * low_pairs) >> (8 * word_bytes - 16);
}

// What a byte-wise count adds up: lead bytes (UTF-8 code points), lead
// bytes plus four-byte leads once more (UTF-16 units of UTF-8), or bytes
// from 0x80 up (the second UTF-8 byte of each Latin-1 code point).
enum class Tally { LeadBytes, Utf16Units, HighBytes };

template <Tally What>
std::size_t tally_byte(char byte) noexcept {
    const auto value = static_cast<unsigned char>(byte);
    switch (What) {
        case Tally::LeadBytes: return is_continuation_unit(byte) ? 0 : 1;
        case Tally::Utf16Units: return (is_continuation_unit(byte) ? 0 : 1) + (value >= 0xF0);
        case Tally::HighBytes: return value >= 0x80 ? 1 : 0;
    }
    return 0;
}

// 0x01 (or 0x02) in each byte lane of word for what that byte adds.
template <Tally What>
Word tally_word(Word word) noexcept {
    switch (What) {
        case Tally::LeadBytes: return lead_byte_flags(word);
        case Tally::Utf16Units: return lead_byte_flags(word) + four_byte_lead_flags(word);
        case Tally::HighBytes: return (word & high_bits) >> 7;
    }
    return 0;
}

// The tally of [first, last). Cost: one read of each byte, byte by byte.
template <Tally What>
std::size_t count_bytewise(const char* first, const char* last) noexcept {
    std::size_t count = 0;
    for (const char* at = first; at != last; ++at) {
        count += tally_byte<What>(*at);
    }
    return count;
}

// Same result as count_bytewise; cost: one word load per word_bytes bytes
// and a horizontal sum every block of words.
template <Tally What>
std::size_t count_wordwise(const char* first, const char* last) noexcept {
    // A lane gains at most 1 per word (2 for UTF-16 units), and must stay
    // within a byte until the block's horizontal sum.
    constexpr std::size_t block_words = What == Tally::Utf16Units ? 127 : 255;
    std::size_t count = 0;
    const char* at = first;
    std::size_t words_left = static_cast<std::size_t>(last - first) / word_bytes;
    while (words_left != 0) {
        const std::size_t block = words_left < block_words ? words_left : block_words;
        Word lanes = 0;
        for (std::size_t i = 0; i < block; ++i, at += word_bytes) {
            lanes += tally_word<What>(load_word(at));
        }
        count += sum_byte_lanes(lanes);
        words_left -= block;
    }
    return count + count_bytewise<What>(at, last);
}

// Reads data[from, to) only; the callers pass a text's data() with bounds
// inside it, which is why they silence the check that wants a size.
template <Tally What>
std::size_t count_range(const char* data, std::size_t from, std::size_t to) noexcept {
    const char* first = data + from;
    const char* last = data + to;
    if (to - from < wordwise_minimum) {
        return count_bytewise<What>(first, last);
    }
    return count_wordwise<What>(first, last);
}

// The UTF-16 kernels add one 16-bit lane per unit in a vector and sum the
// lanes once per block, before any lane can reach 65536.
using UnitLanes = platform::Lanes16<std::uint16_t>;
constexpr std::size_t lane_count = sizeof(UnitLanes) / sizeof(std::uint16_t);

UnitLanes load_units(const char16_t* at) noexcept {
    UnitLanes lanes;
    std::memcpy(&lanes, at, sizeof lanes);
    return lanes;
}

std::size_t sum_unit_lanes(UnitLanes lanes) noexcept {
    std::size_t sum = 0;
    for (std::size_t k = 0; k < lane_count; ++k) {
        sum += lanes[k];
    }
    return sum;
}

// The sum of weigh(unit) over [first, last); weigh maps a vector of units
// to a vector of weights (each at most MaxWeight) and a single unit to
// its weight, the two agreeing. Cost: one read of each unit.
template <std::size_t MaxWeight, typename Weigh>
std::size_t sum_unit_weights(const char16_t* first, const char16_t* last, Weigh weigh) noexcept {
    constexpr std::size_t block_vectors = 0xFFFF / MaxWeight;
    std::size_t sum = 0;
    const char16_t* at = first;
    std::size_t vectors_left = static_cast<std::size_t>(last - first) / lane_count;
    while (vectors_left != 0) {
        const std::size_t block = vectors_left < block_vectors ? vectors_left : block_vectors;
        UnitLanes lanes = {};
        for (std::size_t i = 0; i < block; ++i, at += lane_count) {
            lanes += weigh(load_units(at));
        }
        sum += sum_unit_lanes(lanes);
        vectors_left -= block;
    }
    for (; at != last; ++at) {
        sum += weigh(*at);
    }
    return sum;
}

// A lane-wise compare yields all bits set (0xFFFF) where it holds, and
// adding that is subtracting 1; the weights below are sums of such terms.
using LaneMask = platform::Lanes16<std::int16_t>;

UnitLanes as_units(LaneMask holds) noexcept {
    return std::bit_cast<UnitLanes>(holds);
}

// 1 for a unit that starts a code point (not a low surrogate), else 0.
std::size_t starts_code_point(char16_t unit) noexcept {
    return is_continuation_unit(unit) ? 0 : 1;
}
UnitLanes starts_code_point(UnitLanes units) noexcept {
    return 1 + as_units((units & 0xFC00) == 0xDC00);
}

// The UTF-8 length of each unit's share of its code point: 1, 2 or 3 for a
// unit below 0x80, below 0x800 or above, and 2 for each half of a pair.
std::size_t utf8_share(char16_t unit) noexcept {
    if ((unit & 0xF800) == 0xD800) {
        return 2;
    }
    return unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
}
UnitLanes utf8_share(UnitLanes units) noexcept {
    return 1 - as_units(units >= 0x80) - as_units(units >= 0x800) +
           as_units((units & 0xF800) == 0xD800);
}

}  // namespace

std::size_t count_code_points(Text text, std::size_t from, std::size_t to) noexcept {
    // NOLINTNEXTLINE(bugprone-suspicious-stringview-data-usage)
    return count_range<Tally::LeadBytes>(text.data(), from, to);
}

std::size_t count_utf16_units(Text text, std::size_t from, std::size_t to) noexcept {
    // NOLINTNEXTLINE(bugprone-suspicious-stringview-data-usage)
    return count_range<Tally::Utf16Units>(text.data(), from, to);
}

std::size_t count_utf8_bytes(Latin1Text text, std::size_t from, std::size_t to) noexcept {
    // NOLINTNEXTLINE(bugprone-suspicious-stringview-data-usage)
    return (to - from) + count_range<Tally::HighBytes>(text.data(), from, to);
}

std::size_t count_code_points(Utf16Text text, std::size_t from, std::size_t to) noexcept {
    return sum_unit_weights<1>(text.data() + from, text.data() + to,
                               [](auto units) { return starts_code_point(units); });
}

std::size_t count_utf8_bytes(Utf16Text text, std::size_t from, std::size_t to) noexcept {
    return sum_unit_weights<3>(text.data() + from, text.data() + to,
                               [](auto units) { return utf8_share(units); });
}

std::size_t utf16len(Text text) noexcept {
    return count_utf16_units(text, 0, text.size());
}

namespace {

// The count of [from, to) of text in unit, which is not the text's own.
std::size_t count_units(Utf8, Text text, IndexUnit unit, std::size_t from,
                        std::size_t to) noexcept {
    return unit == IndexUnit::CodePoint ? count_code_points(text, from, to)
                                        : count_utf16_units(text, from, to);
}
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

template class IndexCursor<Utf8>;
template class IndexCursor<Utf16>;
template class IndexCursor<Latin1>;

}  // namespace ostrel::text
