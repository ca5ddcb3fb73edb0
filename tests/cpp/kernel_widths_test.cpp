// Every vector width's kernels against plain one-position-at-a-time
// references: lengths across the block sizes of every width (and their
// four-block steps), every start offset within a block, hits at either end
// of a block, and runs long enough to fold the lane counters.
#include "text/kernels.h"

#include "text/candidate_filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "vector_widths.h"

namespace {

using ostrel::text::Direction;
using ostrel::text::no_position;
using ostrel::text::TextKernels;
using ostrel::text::UnitReading;

// The reference candidate filter: the first reading position from `from`
// whose window starts and ends as the needle does.
template <typename Unit, Direction Way>
std::size_t reference_candidate(UnitReading<Unit, Way> hay, UnitReading<Unit, Way> needle,
                                std::size_t from) {
    const std::size_t m = needle.size;
    for (std::size_t j = from; j + m <= hay.size; ++j) {
        if (hay[j] == needle[0] && hay[j + m - 1] == needle[m - 1]) return j;
    }
    return no_position;
}

template <typename Unit, Direction Way>
void check_candidates(const TextKernels& kernels, const std::vector<Unit>& buffer,
                      std::mt19937_64& random) {
    using Value = typename UnitReading<Unit, Way>::Value;
    const auto* values = reinterpret_cast<const Value*>(buffer.data());
    std::uniform_int_distribution<std::size_t> pick(0, buffer.size() - 1);
    for (std::size_t shift = 0; shift < 3; ++shift) {
        for (std::size_t n = 1; n + shift <= buffer.size() && n <= 300; n += 1 + n / 40) {
            const UnitReading<Unit, Way> hay{values + shift, n};
            for (const std::size_t m : {std::size_t{1}, std::size_t{2}, std::size_t{3},
                                        std::size_t{17}, std::size_t{70}}) {
                if (m > n) continue;
                // A needle cut from the hay and one made of random units.
                const std::size_t at = pick(random) % (n - m + 1);
                const UnitReading<Unit, Way> cut{values + shift + at, m};
                std::vector<Value> made(m);
                for (Value& unit : made) unit = values[pick(random)];
                const UnitReading<Unit, Way> random_needle{made.data(), m};
                for (const auto& needle : {cut, random_needle}) {
                    for (const std::size_t from : {std::size_t{0}, n / 3, n - m}) {
                        const auto find = kernels.find_candidate<Unit, Way>();
                        ASSERT_EQ(find(hay, needle, from), reference_candidate(hay, needle, from))
                            << "n " << n << " m " << m << " from " << from << " shift " << shift;
                    }
                }
            }
        }
    }
}

// Units from a four-value alphabet, so that windows often start or end as
// the needle does; the high values catch signed compares.
template <typename Unit>
std::vector<Unit> few_values(std::mt19937_64& random, std::size_t size) {
    const Unit alphabet[] = {Unit('a'), Unit('b'), static_cast<Unit>(~0u),
                             static_cast<Unit>(sizeof(Unit) == 1 ? 0x80 : 0xDC00)};
    std::vector<Unit> units(size);
    for (Unit& unit : units) unit = alphabet[random() % 4];
    return units;
}

TEST(KernelWidths, CandidateFilterMatchesReference) {
    vector_widths::at_each_width([](const TextKernels& kernels) {
        std::mt19937_64 random(5150);
        const auto bytes = few_values<char>(random, 400);
        const auto units = few_values<char16_t>(random, 400);
        check_candidates<char, Direction::Forward>(kernels, bytes, random);
        check_candidates<char, Direction::Reverse>(kernels, bytes, random);
        check_candidates<char16_t, Direction::Forward>(kernels, units, random);
        check_candidates<char16_t, Direction::Reverse>(kernels, units, random);
    });
}

// A lone hit at every position of a hay that spans several of the widest
// four-block steps: the block that finds it and the lane within it.
TEST(KernelWidths, CandidateFilterFindsALoneWindowAnywhere) {
    vector_widths::at_each_width([](const TextKernels& kernels) {
        const std::size_t n = 600;
        for (std::size_t at = 0; at + 3 <= n; at += 1) {
            std::u16string hay(n, u'x');
            hay.replace(at, 3, u"n\u00FFe");
            const auto* data = reinterpret_cast<const char16_t*>(hay.data());
            const std::u16string needle = u"n\u00FFe";
            const UnitReading<char16_t, Direction::Forward> forward{
                reinterpret_cast<const unsigned short*>(data), n};
            const UnitReading<char16_t, Direction::Forward> needle_forward{
                reinterpret_cast<const unsigned short*>(needle.data()), 3};
            ASSERT_EQ(kernels.find_unit16_forward(forward, needle_forward, 0), at);
            const UnitReading<char16_t, Direction::Reverse> reverse{forward.data, n};
            const UnitReading<char16_t, Direction::Reverse> needle_reverse{needle_forward.data, 3};
            ASSERT_EQ(kernels.find_unit16_reverse(reverse, needle_reverse, 0), n - 3 - at);
            std::string bytes(n, 'x');
            bytes.replace(at, 3,
                          "n\xFF"
                          "e");
            const UnitReading<char, Direction::Forward> byte_hay{
                reinterpret_cast<const unsigned char*>(bytes.data()), n};
            const UnitReading<char, Direction::Forward> byte_needle{
                reinterpret_cast<const unsigned char*>("n\xFF"
                                                       "e"),
                3};
            ASSERT_EQ(kernels.find_byte_forward(byte_hay, byte_needle, 0), at);
        }
    });
}

TEST(KernelWidths, ByteCountsAndPositionsMatchReference) {
    vector_widths::at_each_width([](const TextKernels& kernels) {
        std::mt19937_64 random(99);
        const auto buffer = few_values<char>(random, 1200);
        const auto* data = reinterpret_cast<const unsigned char*>(buffer.data());
        for (std::size_t shift = 0; shift < 64; shift += 7) {
            for (std::size_t n = 0; n + shift <= buffer.size(); n += 1 + n / 16) {
                const unsigned char* run = data + shift;
                std::size_t high = 0;
                for (std::size_t k = 0; k < n; ++k) high += run[k] >= 0x80;
                ASSERT_EQ(kernels.count_high_bytes(run, n), high) << "n " << n;
                for (const unsigned char byte : {'a', '\x80', '\xFF', 'z'}) {
                    std::vector<std::size_t> expected;
                    for (std::size_t k = 0; k < n; ++k)
                        if (run[k] == byte) expected.push_back(k);
                    ASSERT_EQ(kernels.count_byte(run, n, byte), expected.size()) << "n " << n;
                    std::vector<std::size_t> listed(expected.size());
                    ASSERT_EQ(kernels.list_byte(run, n, byte, listed.data()), expected.size());
                    ASSERT_EQ(listed, expected) << "n " << n << " shift " << shift;
                }
            }
        }
        // Every byte equal: the lane counters fold many times.
        const std::vector<unsigned char> run(70000 + 13, 0xE9);
        EXPECT_EQ(kernels.count_byte(run.data(), run.size(), 0xE9), run.size());
        EXPECT_EQ(kernels.count_high_bytes(run.data(), run.size()), run.size());
    });
}

TEST(KernelWidths, Utf16CountsMatchReference) {
    vector_widths::at_each_width([](const TextKernels& kernels) {
        std::mt19937_64 random(4321);
        const char16_t alphabet[] = {u'a',   0x7F,   0x80,   0x7FF,  0x800,  0xD7FF,
                                     0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFF};
        std::u16string units(900, u'a');
        for (char16_t& unit : units) unit = alphabet[random() % std::size(alphabet)];
        // Long runs of the heaviest unit fill a lane block before its sum.
        units += std::u16string(200000, u'\uFFFF');
        for (std::size_t n = 0; n <= units.size(); n += n < 900 ? 1 + n / 32 : 50000) {
            for (const std::size_t shift : {std::size_t{0}, std::size_t{5}}) {
                if (shift + n > units.size()) continue;
                const char16_t* first = units.data() + shift;
                std::size_t points = 0;
                std::size_t bytes = 0;
                for (std::size_t k = 0; k < n; ++k) {
                    const char16_t unit = first[k];
                    points += (unit & 0xFC00) == 0xDC00 ? 0 : 1;
                    bytes += (unit & 0xF800) == 0xD800 ? 2 : unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
                }
                ASSERT_EQ(kernels.utf16_code_points(first, n), points) << "n " << n;
                ASSERT_EQ(kernels.utf16_utf8_bytes(first, n), bytes) << "n " << n;
            }
        }
    });
}

}  // namespace
