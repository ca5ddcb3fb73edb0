// Differential tests of MatchScanner against repeated find/rfind, over the
// UTF-8 and the UTF-16 form of each text: every small case over tiny
// alphabets, multi-byte letters, periodic needles, and long seeded texts
// that take the vector candidate filter and its fallback.
#include "text/match_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text_oracles.h"
#include "vector_widths.h"

namespace {

using ostrel::text::Direction;
using ostrel::text::Latin1;
using ostrel::text::MatchScanner;
using ostrel::text::Units;
using ostrel::text::Utf16;
using ostrel::text::Utf8;
using text_oracles::naive_forward;
using text_oracles::naive_reverse;

const std::string enye = "\xC3\xB1";          // U+00F1
const std::string grin = "\xF0\x9F\x98\x80";  // U+1F600

// All starts of one scan; once exhausted, a scanner must stay exhausted.
template <typename Encoding, Direction Way>
std::vector<std::size_t> scan(Units<Encoding> hay, Units<Encoding> needle) {
    MatchScanner<Encoding, Way> scanner(hay, needle);
    std::vector<std::size_t> out;
    while (const auto start = scanner.next()) {
        out.push_back(*start);
    }
    EXPECT_FALSE(scanner.next().has_value());
    return out;
}

template <typename Encoding>
bool both_ways_agree(Units<Encoding> hay, Units<Encoding> needle) {
    return scan<Encoding, Direction::Forward>(hay, needle) == naive_forward(hay, needle) &&
           scan<Encoding, Direction::Reverse>(hay, needle) == naive_reverse(hay, needle);
}

// Compares both directions over the UTF-8 bytes and over the UTF-16 units
// of the same texts; returns false (after reporting) on a mismatch so that
// exhaustive loops stop at the first failing pair.
bool agrees_with_naive(const std::string& hay, const std::string& needle) {
    const bool bytes = both_ways_agree<Utf8>(hay, needle);
    const std::u16string hay16 = text_oracles::to_utf16(hay);
    const std::u16string needle16 = text_oracles::to_utf16(needle);
    const bool units = both_ways_agree<Utf16>(hay16, needle16);
    // Latin-1, where there is a form: every offset is a boundary.
    const auto hay1 = text_oracles::to_latin1(hay);
    const auto needle1 = text_oracles::to_latin1(needle);
    if (hay1 && needle1 && !needle1->empty()) {
        EXPECT_TRUE(both_ways_agree<Latin1>(*hay1, *needle1)) << "Latin-1, hay '" << hay << "'";
    }
    EXPECT_TRUE(bytes) << "UTF-8, hay '" << hay << "' needle '" << needle << "'";
    EXPECT_TRUE(units) << "UTF-16, hay '" << hay << "' needle '" << needle << "'";
    return bytes && units;
}

void check_every_small_case(const std::vector<std::string>& letters, std::size_t max_hay,
                            std::size_t max_needle) {
    std::vector<std::string> needles;
    for (std::size_t length = 0; length <= max_needle; ++length) {
        for (std::string& word : text_oracles::all_words(letters, length)) {
            needles.push_back(std::move(word));
        }
    }
    for (std::size_t length = 0; length <= max_hay; ++length) {
        for (const std::string& hay : text_oracles::all_words(letters, length)) {
            for (const std::string& needle : needles) {
                if (!agrees_with_naive(hay, needle)) {
                    return;
                }
            }
        }
    }
}

TEST(MatchScanner, EverySmallCaseOverTwoLetters) {
    check_every_small_case({"a", "b"}, 8, 4);
}

TEST(MatchScanner, EverySmallCaseOverThreeLetters) {
    check_every_small_case({"a", "b", "c"}, 8, 4);
}

TEST(MatchScanner, EverySmallCaseOverMultiByteLetters) {
    check_every_small_case({"a", enye, grin}, 6, 3);
}

// Long texts over tiny alphabets: candidates are dense, so the filter is
// switched off part-way, and windows cross its blocks; at every width.
TEST(MatchScanner, SeededLongTextsOverTinyAlphabets) {
    vector_widths::at_each_width([](const auto&) {
        const std::uint64_t seed = 1234567;
        std::mt19937_64 random(seed);
        const std::vector<std::vector<std::string>> alphabets = {
            {"a", "b"}, {"a", "b", "c"}, {"a", std::string(1, '\0'), enye, grin}};
        for (int trial = 0; trial < 3000; ++trial) {
            const auto& letters = alphabets[trial % alphabets.size()];
            const std::size_t hay_letters =
                std::uniform_int_distribution<std::size_t>(0, 300)(random);
            const std::size_t needle_letters =
                std::uniform_int_distribution<std::size_t>(1, 40)(random);
            const std::string hay = text_oracles::random_word(random, letters, hay_letters);
            // Half the needles are cut from the text so that they do occur.
            std::string needle = text_oracles::random_word(random, letters, needle_letters);
            if (trial % 2 == 0 && hay.size() > needle.size()) {
                needle = hay.substr(hay.size() / 3, needle.size());
                if (!text_oracles::decode_utf8(needle)) {
                    continue;  // the cut split a code point
                }
            }
            if (!agrees_with_naive(hay, needle)) {
                ADD_FAILURE() << "seed " << seed << " trial " << trial;
                return;
            }
        }
    });
}

// Needles with a short period exercise the remembered prefix of Two-Way;
// a run of one letter with another letter at one end is its classic hard
// case, and dense false candidates switch the filter off.
TEST(MatchScanner, PeriodicNeedlesInPeriodicTexts) {
    for (const std::string unit : {"a", "ab", "aab", "abaab", "a\xC3\xB1"}) {
        std::string hay;
        for (int k = 0; k < 60; ++k) {
            hay += unit + (k % 17 == 16 ? "b" : "");  // the period breaks now and then
        }
        std::string needle;
        for (std::size_t repeats = 1; repeats <= 6; ++repeats) {
            needle += unit;
            for (const std::string tail : {"", "a", "b"}) {
                agrees_with_naive(hay, needle + tail);
                agrees_with_naive(hay + needle, tail + needle);
            }
        }
    }
    const std::string run(5000, 'a');
    for (const std::string& needle : {std::string(40, 'a') + "b", "b" + std::string(40, 'a'),
                                      std::string("aba"), std::string(300, 'a')}) {
        agrees_with_naive(run + "b", needle);
    }
}

// A rare needle over a long text goes through the vector blocks nearly all
// the way; matches sit at every distance from the ends, past the widest
// width's four-block step.
TEST(MatchScanner, RareNeedleAtEveryPositionNearTheEnds) {
    vector_widths::at_each_width([](const auto&) {
        const std::string needle = "needle" + enye + "x";
        for (std::size_t at = 0; at < 300; ++at) {
            std::string hay(600, 'x');
            hay.replace(at, needle.size(), needle);
            agrees_with_naive(hay, needle);
            std::string mirrored(600, 'x');
            mirrored.replace(mirrored.size() - needle.size() - at, needle.size(), needle);
            agrees_with_naive(mirrored, needle);
        }
    });
}

}  // namespace
