// Tests of match_indices in the three units and both directions, over UTF-8
// UTF-16 and Latin-1 texts: a seeded differential test against find/rfind with
// indices taken from a full decode. The edge-case table lives in the Python
// tests, which run it through the module's own conversions.
#include "text/match_functions.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fault/fault.h"
#include "text_oracles.h"

namespace {

using ostrel::text::Direction;
using ostrel::text::IndexList;
using ostrel::text::IndexUnit;
using ostrel::text::Latin1;
using ostrel::text::match_indices;
using ostrel::text::Utf16;
using ostrel::text::Utf8;

const std::string a = "a";
const std::string b = "b";
const std::string enye = "\xC3\xB1";          // U+00F1
const std::string euro = "\xE2\x82\xAC";      // U+20AC
const std::string grin = "\xF0\x9F\x98\x80";  // U+1F600

IndexList converted(const std::vector<std::size_t>& starts,
                    const std::vector<std::optional<std::size_t>>& table) {
    IndexList out;
    for (const std::size_t start : starts) {
        out.push_back(table.at(start).value());  // a start inside a code point fails here
    }
    return out;
}

TEST(MatchIndices, SeededTextsAgreeWithDecodedNaiveSearch) {
    const std::uint64_t seed = 987654321;
    std::mt19937_64 random(seed);
    const std::vector<std::string> letters = {a, b, std::string(1, '\0'), enye, euro, grin};
    for (int trial = 0; trial < 2000; ++trial) {
        const std::size_t alphabet = 2 + trial % (letters.size() - 1);
        const std::vector<std::string> used(letters.begin(), letters.begin() + alphabet);
        const std::string string = text_oracles::random_word(
            random, used, std::uniform_int_distribution<std::size_t>(0, 120)(random));
        const std::string substring = text_oracles::random_word(
            random, used, std::uniform_int_distribution<std::size_t>(0, 4)(random));
        const auto table = text_oracles::index_table(string);
        const auto forward = text_oracles::naive_forward<char>(string, substring);
        const auto reverse = text_oracles::naive_reverse<char>(string, substring);
        const std::pair<IndexUnit, IndexList> expected[] = {
            {IndexUnit::Byte, forward},
            {IndexUnit::Byte, reverse},
            {IndexUnit::CodePoint, converted(forward, table.code_point)},
            {IndexUnit::CodePoint, converted(reverse, table.code_point)},
            {IndexUnit::Utf16, converted(forward, table.utf16)},
            {IndexUnit::Utf16, converted(reverse, table.utf16)}};
        // The same search over the UTF-16 and Latin-1 forms (where there
        // is one) must give the same indices.
        const std::u16string string16 = text_oracles::to_utf16(string);
        const std::u16string substring16 = text_oracles::to_utf16(substring);
        const auto string1 = text_oracles::to_latin1(string);
        const auto substring1 = text_oracles::to_latin1(substring);
        for (std::size_t k = 0; k < std::size(expected); ++k) {
            const auto& [unit, indices] = expected[k];
            const Direction direction = k % 2 == 0 ? Direction::Forward : Direction::Reverse;
            const std::string where = "seed " + std::to_string(seed) + " trial " +
                                      std::to_string(trial) + " case " + std::to_string(k);
            if (unit == IndexUnit::Byte) {
                EXPECT_EQ(match_indices<Utf8>(string, substring, unit, direction), indices)
                    << where;
            } else {
                // Other units are counted in the UTF-16 or Latin-1 form.
                EXPECT_THROW(match_indices<Utf8>(string, substring, unit, direction),
                             ostrel::InternalFault);
            }
            EXPECT_EQ(match_indices<Utf16>(string16, substring16, unit, direction), indices)
                << where << " (UTF-16)";
            if (string1 && substring1) {
                EXPECT_EQ(match_indices<Latin1>(*string1, *substring1, unit, direction), indices)
                    << where << " (Latin-1)";
            }
        }
    }
}

}  // namespace
