// Tests of match_indices in the three units and both directions: a table of
// edge cases, a seeded differential test against find/rfind with indices
// taken from a full decode, and the list's allocation pattern.
#include "text/match_functions.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text_oracles.h"

namespace {

using ostrel::text::Direction;
using ostrel::text::IndexList;
using ostrel::text::IndexUnit;
using ostrel::text::match_indices;

const std::string kA = "a";
const std::string kB = "b";
const std::string kX = "x";
const std::string kSpace = " ";
const std::string kEnye = "\xC3\xB1";          // U+00F1
const std::string kEuro = "\xE2\x82\xAC";      // U+20AC
const std::string kGrin = "\xF0\x9F\x98\x80";  // U+1F600

struct Expected {
    IndexList forward, reverse;
};

struct Row {
    std::string string, substring;
    Expected bytes, code_points, utf16;
};

const Row kRows[] = {
    {kA + kEnye + kB + kSpace + kA, kA, {{0, 5}, {5, 0}}, {{0, 4}, {4, 0}}, {{0, 4}, {4, 0}}},
    {kGrin + kA + kGrin + kA, kA, {{4, 9}, {9, 4}}, {{1, 3}, {3, 1}}, {{2, 5}, {5, 2}}},
    {kGrin + kEnye + kA + kGrin + kA, kA, {{6, 11}, {11, 6}}, {{2, 4}, {4, 2}}, {{3, 6}, {6, 3}}},
    {kX + kEnye + kX + kEnye + kX,
     kEnye + kX,
     {{1, 4}, {4, 1}},
     {{1, 3}, {3, 1}},
     {{1, 3}, {3, 1}}},
    {kEuro + kGrin + kEuro, kGrin + kEuro, {{3}, {3}}, {{1}, {1}}, {{1}, {1}}},
    {kA + kA + kA, kA + kA, {{0}, {1}}, {{0}, {1}}, {{0}, {1}}},
    {kA + kA + kA + kA, kA + kA, {{0, 2}, {2, 0}}, {{0, 2}, {2, 0}}, {{0, 2}, {2, 0}}},
    {kA + kB + kA + kB + kA, kA + kB + kA, {{0}, {2}}, {{0}, {2}}, {{0}, {2}}},
    {kA + kGrin, "", {{0, 1, 5}, {5, 1, 0}}, {{0, 1, 2}, {2, 1, 0}}, {{0, 1, 3}, {3, 1, 0}}},
    {kEnye + kB, "", {{0, 2, 3}, {3, 2, 0}}, {{0, 1, 2}, {2, 1, 0}}, {{0, 1, 2}, {2, 1, 0}}},
    {"", "", {{0}, {0}}, {{0}, {0}}, {{0}, {0}}},
    {"", kA, {{}, {}}, {{}, {}}, {{}, {}}},
    {kA, kA + kB, {{}, {}}, {{}, {}}, {{}, {}}},
    {std::string("\0a\0", 3),
     std::string(1, '\0'),
     {{0, 2}, {2, 0}},
     {{0, 2}, {2, 0}},
     {{0, 2}, {2, 0}}},
    {kGrin + kEnye, kGrin + kEnye, {{0}, {0}}, {{0}, {0}}, {{0}, {0}}},
};

TEST(MatchIndices, EdgeCaseTableInEveryUnitAndDirection) {
    for (std::size_t row = 0; row < std::size(kRows); ++row) {
        const Row& r = kRows[row];
        const std::pair<IndexUnit, const Expected*> units[] = {
            {IndexUnit::Byte, &r.bytes},
            {IndexUnit::CodePoint, &r.code_points},
            {IndexUnit::Utf16, &r.utf16}};
        for (const auto& [unit, expected] : units) {
            EXPECT_EQ(match_indices(r.string, r.substring, unit, Direction::Forward),
                      expected->forward)
                << "row " << row << " unit " << static_cast<int>(unit);
            EXPECT_EQ(match_indices(r.string, r.substring, unit, Direction::Reverse),
                      expected->reverse)
                << "row " << row << " unit " << static_cast<int>(unit);
        }
    }
}

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
    const std::vector<std::string> letters = {kA, kB, std::string(1, '\0'), kEnye, kEuro, kGrin};
    for (int trial = 0; trial < 2000; ++trial) {
        const std::size_t alphabet = 2 + trial % (letters.size() - 1);
        const std::vector<std::string> used(letters.begin(), letters.begin() + alphabet);
        const std::string string = text_oracles::random_word(
            random, used, std::uniform_int_distribution<std::size_t>(0, 120)(random));
        const std::string substring = text_oracles::random_word(
            random, used, std::uniform_int_distribution<std::size_t>(0, 4)(random));
        const auto table = text_oracles::index_table(string);
        const auto forward = text_oracles::naive_forward(string, substring);
        const auto reverse = text_oracles::naive_reverse(string, substring);
        const std::string where =
            "seed " + std::to_string(seed) + " trial " + std::to_string(trial);
        EXPECT_EQ(match_indices(string, substring, IndexUnit::Byte, Direction::Forward), forward)
            << where;
        EXPECT_EQ(match_indices(string, substring, IndexUnit::Byte, Direction::Reverse), reverse)
            << where;
        EXPECT_EQ(match_indices(string, substring, IndexUnit::CodePoint, Direction::Forward),
                  converted(forward, table.code_point))
            << where;
        EXPECT_EQ(match_indices(string, substring, IndexUnit::CodePoint, Direction::Reverse),
                  converted(reverse, table.code_point))
            << where;
        EXPECT_EQ(match_indices(string, substring, IndexUnit::Utf16, Direction::Forward),
                  converted(forward, table.utf16))
            << where;
        EXPECT_EQ(match_indices(string, substring, IndexUnit::Utf16, Direction::Reverse),
                  converted(reverse, table.utf16))
            << where;
    }
}

// The growth pattern is part of the contract with the binding: nothing for
// no match, 4 entries at the first, doubling after; reverse conversions
// and one-byte substrings in bytes return a list sized exactly once.
TEST(MatchIndices, ListsGrowFromFourByDoubling) {
    const std::string nine_matches(18, 'a');
    const Direction both[] = {Direction::Forward, Direction::Reverse};
    for (const Direction direction : both) {
        for (const IndexUnit unit : {IndexUnit::Byte, IndexUnit::CodePoint, IndexUnit::Utf16}) {
            EXPECT_EQ(match_indices(nine_matches, "b", unit, direction).capacity(), 0u);
        }
        EXPECT_EQ(match_indices("aa", "aa", IndexUnit::Byte, direction).capacity(), 4u);
        EXPECT_EQ(match_indices(nine_matches, "aa", IndexUnit::Byte, direction).capacity(), 16u);
        EXPECT_EQ(match_indices(nine_matches, "a", IndexUnit::Byte, direction).capacity(), 18u);
    }
    EXPECT_EQ(match_indices("a", "a", IndexUnit::CodePoint, Direction::Forward).capacity(), 4u);
    EXPECT_EQ(match_indices("aaaaa", "a", IndexUnit::CodePoint, Direction::Forward).capacity(), 8u);
    EXPECT_EQ(match_indices("aaaaa", "a", IndexUnit::Utf16, Direction::Forward).capacity(), 8u);
    EXPECT_EQ(match_indices("aaaaa", "a", IndexUnit::CodePoint, Direction::Reverse).capacity(), 5u);
    EXPECT_EQ(match_indices("aaaaa", "a", IndexUnit::Utf16, Direction::Reverse).capacity(), 5u);
}

}  // namespace
