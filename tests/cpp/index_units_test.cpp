// Tests of the UTF-16 and Latin-1 counts and of IndexCursor, against a
// decoder that shares nothing with the counting kernels.
#include "text/index_units.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fault/fault.h"
#include "text_oracles.h"

namespace {

using ostrel::text::count_code_points;
using ostrel::text::count_utf8_bytes;
using ostrel::text::IndexCursor;
using ostrel::text::IndexUnit;
using ostrel::text::Latin1;
using ostrel::text::Latin1Text;
using ostrel::text::Utf16;
using ostrel::text::Utf16Text;

const std::string a_letter = "a";
const std::string enye = "\xC3\xB1";          // U+00F1
const std::string euro = "\xE2\x82\xAC";      // U+20AC
const std::string grin = "\xF0\x9F\x98\x80";  // U+1F600
const std::string nul(1, '\0');

// Valid UTF-8 of exactly `length` bytes mixing 1- to 4-byte code points and
// U+0000: the widest code point that still fits is picked at random.
std::string mixed_text(std::mt19937_64& random, std::size_t length) {
    const std::vector<std::string> by_length[] = {{},
                                                  {a_letter, nul, "z"},
                                                  {enye, "\xDF\xBF"},
                                                  {euro, "\xEF\xBF\xBF"},
                                                  {grin, "\xF4\x8F\xBF\xBF"}};
    std::string text;
    while (text.size() < length) {
        const std::size_t room = std::min<std::size_t>(4, length - text.size());
        const std::size_t width = std::uniform_int_distribution<std::size_t>(1, room)(random);
        const auto& choices = by_length[width];
        text += choices[std::uniform_int_distribution<std::size_t>(0, choices.size() - 1)(random)];
    }
    return text;
}

TEST(IndexCursor, RefusesDecreasingOutOfRangeAndInnerOffsets) {
    const std::u16string units = text_oracles::to_utf16(grin + enye + a_letter);  // 4 units
    for (const IndexUnit unit : {IndexUnit::CodePoint, IndexUnit::Utf16, IndexUnit::Byte}) {
        IndexCursor<Utf16> backwards(units, unit);
        backwards.advance(3);
        EXPECT_THROW(backwards.advance(2), ostrel::InternalFault);
        IndexCursor<Utf16> past_end(units, unit);
        EXPECT_THROW(past_end.advance(units.size() + 1), ostrel::InternalFault);
        IndexCursor<Utf16> cursor(units, unit);
        EXPECT_THROW(cursor.advance(1), ostrel::InternalFault);
    }
}

// The UTF-16 counts against the UTF-8 form of the same text: every range
// between boundaries of seeded mixed text, long enough to cross many
// vectors, and long uniform runs that fill a lane block.
TEST(CountCodePoints, Utf16RangesMatchTheirUtf8Form) {
    const std::uint64_t seed = 77;
    std::mt19937_64 random(seed);
    std::vector<std::string> texts = {mixed_text(random, 700)};
    for (const std::string& letter : {a_letter, enye, euro, grin}) {
        std::string run;
        while (run.size() < 600000) {
            run += letter;
        }
        texts.push_back(run);
    }
    for (const std::string& text : texts) {
        const std::u16string units = text_oracles::to_utf16(text);
        const auto bytes_at = text_oracles::boundaries(text);
        const auto units_at = text_oracles::boundaries(Utf16Text(units));
        ASSERT_EQ(bytes_at.size(), units_at.size());
        const std::size_t last = bytes_at.size() - 1;
        for (std::size_t from = 0; from <= last; from += 1 + from % 7) {
            for (const std::size_t to : {from, std::min(last, from + 1 + from % 41), last}) {
                EXPECT_EQ(count_code_points(Utf16Text(units), units_at[from], units_at[to]),
                          to - from)
                    << "seed " << seed << " from " << from << " to " << to;
                EXPECT_EQ(count_utf8_bytes(units, units_at[from], units_at[to]),
                          bytes_at[to] - bytes_at[from])
                    << "seed " << seed << " from " << from << " to " << to;
            }
            if (text.size() > 1000) {
                from += last / 5;  // a long run: a few ranges suffice
            }
        }
    }
}

TEST(IndexCursor, Utf16CursorConvertsAndRefusesInnerOffsets) {
    const std::u16string units = text_oracles::to_utf16(grin + enye + a_letter);  // 4 units
    IndexCursor<Utf16> points(units, IndexUnit::CodePoint);
    IndexCursor<Utf16> bytes(units, IndexUnit::Byte);
    IndexCursor<Utf16> same(units, IndexUnit::Utf16);
    const std::size_t rows[][3] = {{0, 0, 0}, {2, 1, 4}, {3, 2, 6}, {4, 3, 7}};
    for (const auto& [offset, point, byte] : rows) {
        EXPECT_EQ(points.advance(offset), point);
        EXPECT_EQ(bytes.advance(offset), byte);
        EXPECT_EQ(same.advance(offset), offset);
    }
    IndexCursor<Utf16> inner(units, IndexUnit::CodePoint);
    EXPECT_THROW(inner.advance(1), ostrel::InternalFault);
    EXPECT_THROW(points.advance(3), ostrel::InternalFault);
}

// In Latin-1 every offset is a code-point and a UTF-16 index, and a byte
// from 0x80 up takes two UTF-8 bytes; runs longer than the word counters'
// block check the lane sums.
TEST(IndexCursor, Latin1CursorCountsHighBytesTwice) {
    for (const std::size_t length : {std::size_t{5}, std::size_t{100}, std::size_t{9000}}) {
        std::string text;
        for (std::size_t k = 0; k < length; ++k) {
            text.push_back(static_cast<char>(k % 3 == 0 ? 'a' : 0x80 + k % 0x80));
        }
        const std::string utf8 = text_oracles::to_utf8_from_latin1(text);
        const auto utf8_at = text_oracles::boundaries(utf8);
        IndexCursor<Latin1> bytes(text, IndexUnit::Byte);
        IndexCursor<Latin1> points(text, IndexUnit::CodePoint);
        for (std::size_t offset = 0; offset <= length; offset += 1 + offset % 5) {
            EXPECT_EQ(bytes.advance(offset), utf8_at[offset]) << "length " << length;
            EXPECT_EQ(points.advance(offset), offset);
        }
        EXPECT_EQ(count_utf8_bytes(Latin1Text(text), 0, length), utf8.size());
    }
}

}  // namespace
