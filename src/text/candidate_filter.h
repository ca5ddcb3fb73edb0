// The candidate filter in front of the Two-Way search: it finds the next
// window whose first and last units equal the needle's, testing a vector's
// worth of windows per step with lane-wise compares. It tests each window
// position at most once per call and the search resumes at or after the
// candidate it returns, so the filter adds O(n) work to the search; whether
// it pays is decided by the scanner, which turns it off when it keeps
// producing false candidates. Written once over the vector width W
// (platform/lanes.h) and instantiated per width in text/width_*.cpp.
#pragma once

#include "platform/lanes.h"
#include "text/unit_reading.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace ostrel::text {

inline constexpr std::size_t no_position = static_cast<std::size_t>(-1);

// The vector bytes the scanner's give-up rule counts in, whatever the width:
// the filter is switched off the same way at every width.
inline constexpr std::size_t filter_vector_bytes = 16;

namespace candidate_detail {

// The reading position, within the block, of the first window that hit:
// lanes are in memory order, which is reading order forward and the
// reverse of it backward. At least one bit of bits is set.
template <typename W, typename Value, Direction Way>
std::size_t first_hit(std::uint64_t bits) noexcept {
    constexpr std::size_t lanes = platform::lane_count<W, Value>;
    constexpr std::size_t lane_bits = platform::bits_per_byte<W> * sizeof(Value);
    if constexpr (Way == Direction::Forward) {
        return static_cast<std::size_t>(std::countr_zero(bits)) / lane_bits;
    } else {
        return lanes - 1 - static_cast<std::size_t>(63 - std::countl_zero(bits)) / lane_bits;
    }
}

// The blocks of W::bytes from reading position j while a whole block of
// windows fits: the first hit, or no_position with j moved past the blocks.
template <typename W, typename Unit, Direction Way,
          typename Value = typename UnitReading<Unit, Way>::Value>
std::size_t scan_blocks(UnitReading<Unit, Way> hay, std::size_t m, Value first, Value last,
                        std::size_t windows, std::size_t& j) noexcept {
    using Lanes = platform::Vector<W, Value>;
    constexpr std::size_t lanes = platform::lane_count<W, Value>;
    if (windows < lanes) return no_position;
    const Lanes firsts = platform::splat<W>(first);
    const Lanes lasts = platform::splat<W>(last);
    // A block covers windows [at, at + lanes); their last units sit m - 1
    // further on in reading order, which is lower memory when reversed.
    const auto hits_at = [&](std::size_t at) {
        const Value* starts = hay.range(at, at + lanes);
        const Value* ends = Way == Direction::Forward ? starts + (m - 1) : starts - (m - 1);
        return (platform::load<W>(starts) == firsts) & (platform::load<W>(ends) == lasts);
    };
    // Four blocks a step, tested together: one branch per four vectors
    // while nothing hits, which is most of a scan for a rare needle.
    constexpr std::size_t step = 4 * lanes;
    for (; windows >= step && j <= windows - step; j += step) {
        const auto a = hits_at(j);
        const auto b = hits_at(j + lanes);
        const auto c = hits_at(j + 2 * lanes);
        const auto d = hits_at(j + 3 * lanes);
        if (platform::any_hit<W>(a | b | c | d)) {
            break;  // the block loop below finds which window
        }
    }
    for (; j <= windows - lanes; j += lanes) {
        const std::uint64_t bits = platform::hit_bits<W>(hits_at(j));
        if (bits != 0) {
            return j + first_hit<W, Value, Way>(bits);
        }
    }
    return no_position;
}

}  // namespace candidate_detail

// The least reading position j >= from with hay[j] == needle[0] and
// hay[j + m - 1] == needle[m - 1], or no_position. Requires 1 <= m <= hay.size
// (a one-unit needle is its own candidate: a hit is a match).
// Cost: about one vector step per lane count of positions passed over; the
// wider widths hand short runs, and what is left below a block, to 16-byte
// steps.
template <typename W, typename Unit, Direction Way>
std::size_t find_candidate(UnitReading<Unit, Way> hay, UnitReading<Unit, Way> needle,
                           std::size_t from) noexcept {
    using namespace candidate_detail;
    using Value = typename UnitReading<Unit, Way>::Value;
    const std::size_t m = needle.size;
    const Value first = needle[0];
    const Value last = needle[m - 1];
    const std::size_t windows = hay.size - m + 1;  // positions 0 to n - m
    std::size_t j = from;
    std::size_t found = no_position;
    // A short run goes straight to 16-byte steps: setting up the wide
    // vectors would cost more than they save there.
    constexpr std::size_t wide_minimum = W::bytes > 16 ? 2 * platform::lane_count<W, Value> : 0;
    if (j < windows && windows - j >= wide_minimum) {
        found = scan_blocks<W>(hay, m, first, last, windows, j);
    }
    if constexpr (W::bytes > 16) {
        if (found == no_position) {
            found = scan_blocks<platform::Narrow16<W>>(hay, m, first, last, windows, j);
        }
    }
    if (found != no_position) return found;
    for (; j < windows; ++j) {
        if (hay[j] == first && hay[j + m - 1] == last) {
            return j;
        }
    }
    return no_position;
}

}  // namespace ostrel::text
