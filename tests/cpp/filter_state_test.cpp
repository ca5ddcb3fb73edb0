// When the scanner's candidate filter gives up, seen from outside: its
// state is a private member of MatchScanner, read here through pointers to
// members named in explicit instantiations, where access is not checked, so
// the scanner carries no accessor that only a test would call. These tests
// pin the point where the filter stops paying for itself, on the inputs the
// Python tests use to drive the search into each of its states.
#include "text/match_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text_oracles.h"

namespace ostrel_test {

using ostrel::text::Direction;
using ostrel::text::Factorisation;
using ostrel::text::FilterState;
using ostrel::text::Latin1;
using ostrel::text::MatchScanner;
using ostrel::text::Units;
using ostrel::text::Utf16;
using ostrel::text::Utf8;

// A tag per scanner type and member; the friend defined by the explicit
// instantiation below returns the member's pointer.
template <typename Scanner>
struct FilterOf {
    using type = FilterState Scanner::*;
};
template <typename Scanner>
struct PlanOf {
    using type = Factorisation Scanner::*;
};

template <typename Tag, typename Tag::type Member>
struct Expose {
    friend typename Tag::type member(Tag) { return Member; }
};

#define OSTREL_EXPOSE(Encoding, Way)                                                           \
    FilterOf<MatchScanner<Encoding, Way>>::type member(FilterOf<MatchScanner<Encoding, Way>>); \
    PlanOf<MatchScanner<Encoding, Way>>::type member(PlanOf<MatchScanner<Encoding, Way>>);     \
    template struct Expose<FilterOf<MatchScanner<Encoding, Way>>,                              \
                           &MatchScanner<Encoding, Way>::filter_>;                             \
    template struct Expose<PlanOf<MatchScanner<Encoding, Way>>,                                \
                           &MatchScanner<Encoding, Way>::plan_>;

OSTREL_EXPOSE(Utf8, Direction::Forward)
OSTREL_EXPOSE(Utf8, Direction::Reverse)
OSTREL_EXPOSE(Utf16, Direction::Forward)
OSTREL_EXPOSE(Utf16, Direction::Reverse)
OSTREL_EXPOSE(Latin1, Direction::Forward)
OSTREL_EXPOSE(Latin1, Direction::Reverse)
#undef OSTREL_EXPOSE

template <typename Encoding, Direction Way>
const FilterState& filter_of(const MatchScanner<Encoding, Way>& scanner) {
    return scanner.*member(FilterOf<MatchScanner<Encoding, Way>>{});
}
template <typename Encoding, Direction Way>
const Factorisation& plan_of(const MatchScanner<Encoding, Way>& scanner) {
    return scanner.*member(PlanOf<MatchScanner<Encoding, Way>>{});
}

namespace {

template <typename Encoding>
std::basic_string<typename Encoding::Unit> widen(const std::string& ascii) {
    return {ascii.begin(), ascii.end()};
}

struct Scan {
    std::vector<std::size_t> starts;
    FilterState filter;
    Factorisation plan;
};

template <typename Encoding, Direction Way>
Scan scan(Units<Encoding> hay, Units<Encoding> needle) {
    MatchScanner<Encoding, Way> scanner(hay, needle);
    Scan out;
    while (const auto start = scanner.next()) {
        out.starts.push_back(*start);
    }
    out.filter = filter_of(scanner);
    out.plan = plan_of(scanner);
    const auto expected = Way == Direction::Forward ? text_oracles::naive_forward(hay, needle)
                                                    : text_oracles::naive_reverse(hay, needle);
    EXPECT_EQ(out.starts, expected);
    return out;
}

// `count` near misses of "acb" (first and last unit right, middle wrong)
// back to back, with a match at each end so that each direction scans
// through all of them; gap units of filler between near misses.
std::string near_misses(std::size_t count, std::size_t gap) {
    std::string text = "acb";
    for (std::size_t k = 0; k < count; ++k) {
        text += (k % 2 == 0 ? "aXb" : "aYb") + std::string(gap, '.');
    }
    return text + "acb";
}

template <typename Encoding, Direction Way>
void check_giving_up() {
    const auto needle = widen<Encoding>("acb");
    // Every near miss is one false candidate: the filter holds out until
    // 64 of them, then gives up, as each cost it only three positions.
    const auto dense63 = widen<Encoding>(near_misses(63, 0));
    const auto dense64 = widen<Encoding>(near_misses(64, 0));
    const Scan before = scan<Encoding, Way>(dense63, needle);
    EXPECT_TRUE(before.filter.on);
    EXPECT_EQ(before.filter.false_candidates, 63u);
    const Scan after = scan<Encoding, Way>(dense64, needle);
    EXPECT_FALSE(after.filter.on);
    EXPECT_EQ(after.filter.false_candidates, 64u);
    // It pays while it skips a vector's worth of units per false candidate
    // (16 bytes, or 8 UTF-16 units) on average. A near miss followed by gap
    // filler units costs it gap + 2 (forward: "acb" shifts by one after
    // "aX") or gap (reverse: "bca" shifts by three after "bXa").
    constexpr std::size_t vector_units = 16 / sizeof(typename Encoding::Unit);
    const auto paying = widen<Encoding>(near_misses(500, vector_units));
    const auto losing = widen<Encoding>(near_misses(500, vector_units - 4));
    EXPECT_TRUE((scan<Encoding, Way>(paying, needle).filter.on));
    EXPECT_FALSE((scan<Encoding, Way>(losing, needle).filter.on));
    // A periodic needle: the Two-Way search carries memory across windows.
    const auto periodic = widen<Encoding>("abababa");
    EXPECT_TRUE((scan<Encoding, Way>(widen<Encoding>("abababXbabababa"), periodic).plan.periodic));
}

TEST(FilterState, GivesUpAfterEnoughDenseFalseCandidates) {
    check_giving_up<Utf8, Direction::Forward>();
    check_giving_up<Utf8, Direction::Reverse>();
    check_giving_up<Utf16, Direction::Forward>();
    check_giving_up<Utf16, Direction::Reverse>();
    check_giving_up<Latin1, Direction::Forward>();
    check_giving_up<Latin1, Direction::Reverse>();
}

}  // namespace

}  // namespace ostrel_test
