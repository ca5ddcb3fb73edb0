// Counting code points and UTF-16 units over byte ranges of a Text, and the
// forward-only IndexCursor built on those counts. Nothing here decodes: a
// valid UTF-8 range holds one lead byte per code point, and one lead byte
// 0xF0 or above per code point that needs a UTF-16 surrogate pair.
#include "text/index_units.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "fault/fault.h"

namespace ostrel::text {

namespace {

// The word-at-a-time kernels run on the native unsigned machine word, so a
// 32-bit build reads four bytes a step and a 64-bit build eight.
using Word = std::size_t;
constexpr std::size_t kWordBytes = sizeof(Word);
constexpr Word kLowBits = ~Word{0} / 0xFF;     // 0x01 in every byte
constexpr Word kHighBits = kLowBits * 0x80;    // 0x80 in every byte
constexpr Word kLowPairs = ~Word{0} / 0xFFFF;  // 0x0001 in every 16-bit lane
constexpr Word kEvenBytes = kLowPairs * 0xFF;  // 0x00FF in every 16-bit lane

// Below this many bytes the word loop's set-up and tail cost more than it
// saves, so the range is counted byte by byte.
constexpr std::size_t kWordwiseMinimum = 4 * kWordBytes;

Word load_word(const char* at) noexcept {
    Word word;
    std::memcpy(&word, at, sizeof word);  // unaligned and free of aliasing issues
    return word;
}

// 0x01 in each byte of word that is a lead byte, that is, whose top two bits
// are not 1 then 0: either bit 7 is clear or bit 6 (moved up by the shift)
// is set. Shifting left never carries a byte's bit 6 into another byte's 7.
Word lead_byte_flags(Word word) noexcept {
    return ((~word | (word << 1)) & kHighBits) >> 7;
}

// 0x01 in each byte of word from 0xF0 up: its top four bits are all set.
Word four_byte_lead_flags(Word word) noexcept {
    return ((word & (word << 1) & (word << 2) & (word << 3)) & kHighBits) >> 7;
}

// The sum of the byte lanes of flags; each lane is at most 255.
std::size_t sum_byte_lanes(Word flags) noexcept {
    // Pairs of lanes are added first into 16-bit lanes (at most 510 each),
    // so the multiply that adds all lanes into the top one cannot overflow.
    const Word pairs = (flags & kEvenBytes) + ((flags >> 8) & kEvenBytes);
    return static_cast<std::size_t>((pairs * kLowPairs) >> (8 * kWordBytes - 16));
}

// Counts lead bytes in [first, last), plus four-byte lead bytes once more
// when WithSurrogates is set. Cost: one read of each byte, byte by byte.
template <bool WithSurrogates>
std::size_t count_bytewise(const char* first, const char* last) noexcept {
    std::size_t count = 0;
    for (const char* at = first; at != last; ++at) {
        count += is_continuation_byte(*at) ? 0 : 1;
        if constexpr (WithSurrogates) {
            count += static_cast<unsigned char>(*at) >= 0xF0 ? 1 : 0;
        }
    }
    return count;
}

// Same result as count_bytewise; cost: one word load per kWordBytes bytes
// and a horizontal sum every block of words.
template <bool WithSurrogates>
std::size_t count_wordwise(const char* first, const char* last) noexcept {
    // A lane gains at most 1 per word (2 with surrogates), and must stay
    // within a byte until the block's horizontal sum.
    constexpr std::size_t kBlockWords = WithSurrogates ? 127 : 255;
    std::size_t count = 0;
    const char* at = first;
    std::size_t words_left = static_cast<std::size_t>(last - first) / kWordBytes;
    while (words_left != 0) {
        const std::size_t block = words_left < kBlockWords ? words_left : kBlockWords;
        Word lanes = 0;
        for (std::size_t i = 0; i < block; ++i, at += kWordBytes) {
            const Word word = load_word(at);
            lanes += lead_byte_flags(word);
            if constexpr (WithSurrogates) {
                lanes += four_byte_lead_flags(word);
            }
        }
        count += sum_byte_lanes(lanes);
        words_left -= block;
    }
    return count + count_bytewise<WithSurrogates>(at, last);
}

template <bool WithSurrogates>
std::size_t count_range(Text text, std::size_t from, std::size_t to) noexcept {
    const char* first = text.data() + from;
    const char* last = text.data() + to;
    if (to - from < kWordwiseMinimum) {
        return count_bytewise<WithSurrogates>(first, last);
    }
    return count_wordwise<WithSurrogates>(first, last);
}

}  // namespace

std::size_t count_code_points(Text text, std::size_t from, std::size_t to) noexcept {
    return count_range<false>(text, from, to);
}

std::size_t count_utf16_units(Text text, std::size_t from, std::size_t to) noexcept {
    return count_range<true>(text, from, to);
}

std::size_t utf16len(Text text) noexcept {
    return count_utf16_units(text, 0, text.size());
}

IndexCursor::IndexCursor(Text text, IndexUnit unit) noexcept : text_(text), unit_(unit) {}

std::size_t IndexCursor::advance(std::size_t offset) {
    // Checking last_offset_ again is nearly free and catches a cursor whose
    // invariant was broken behind its back.
    const bool in_order = last_offset_ <= offset && offset <= text_.size();
    if (!in_order || !is_code_point_boundary(text_, offset) ||
        !is_code_point_boundary(text_, last_offset_)) [[unlikely]] {
        if (!in_order) {
            raise_fault("index cursor moved from byte offset " + std::to_string(last_offset_) +
                        " to " + std::to_string(offset) + " of a " + std::to_string(text_.size()) +
                        "-byte text");
        }
        const std::size_t inner = is_code_point_boundary(text_, offset) ? last_offset_ : offset;
        raise_fault("index cursor given byte offset " + std::to_string(inner) +
                    ", which is inside a code point");
    }
    switch (unit_) {
        case IndexUnit::Byte: last_index_ = offset; break;
        case IndexUnit::CodePoint:
            last_index_ += count_code_points(text_, last_offset_, offset);
            break;
        case IndexUnit::Utf16: last_index_ += count_utf16_units(text_, last_offset_, offset); break;
    }
    last_offset_ = offset;
    return last_index_;
}

}  // namespace ostrel::text
