// The candidate filter in front of the Two-Way search: it finds the next
// window whose first and last units equal the needle's, testing a vector's
// worth of windows per step with lane-wise compares. It tests each window
// position at most once per call and the search resumes at or after the
// candidate it returns, so the filter adds O(n) work to the search; whether
// it pays is decided by the scanner, which turns it off when it keeps
// producing false candidates.
#pragma once

#include "platform/portable.h"
#include "text/unit_reading.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ostrel::text {

inline constexpr std::size_t no_position = static_cast<std::size_t>(-1);

namespace candidate_detail {

// One lane per unit, 16 bytes a step (see platform/portable.h): compiled to
// SSE2 on x86-64, NEON on AArch64, and to plain word operations where there
// is no vector unit.
template <typename Value>
using Lanes = platform::Lanes16<Value>;
constexpr std::size_t vector_bytes = sizeof(Lanes<unsigned char>);

template <typename Value>
Lanes<Value> broadcast(Value unit) noexcept {
    Lanes<Value> lanes;
    for (std::size_t k = 0; k < platform::lanes16_count<Value>; ++k) {
        lanes[k] = unit;
    }
    return lanes;
}

template <typename Value>
Lanes<Value> load_lanes(const Value* at) noexcept {
    Lanes<Value> lanes;
    std::memcpy(&lanes, at, sizeof lanes);
    return lanes;
}

// Whether any lane of a lane-wise compare (-1 in equal lanes, 0 elsewhere)
// is set.
template <typename Mask>
bool any_lane(const Mask& hits) noexcept {
    std::uint64_t halves[2];
    static_assert(sizeof halves == sizeof hits);
    std::memcpy(halves, &hits, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

// The reading position, within the block, of the first window that hit:
// lanes are in memory order, which is reading order forward and the
// reverse of it backward. At least one lane of hits is set.
template <typename Value, Direction Way, typename Mask>
std::size_t first_hit(const Mask& hits) noexcept {
    constexpr std::size_t lanes = platform::lanes16_count<Value>;
    constexpr std::size_t lane_bits = 8 * sizeof(Value);
    constexpr std::size_t half = lanes / 2;
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t halves[2];
        std::memcpy(halves, &hits, sizeof halves);
        if constexpr (Way == Direction::Forward) {
            return halves[0] != 0 ? std::countr_zero(halves[0]) / lane_bits
                                  : half + std::countr_zero(halves[1]) / lane_bits;
        } else {
            const std::size_t lane = halves[1] != 0
                                         ? lanes - 1 - std::countl_zero(halves[1]) / lane_bits
                                         : half - 1 - std::countl_zero(halves[0]) / lane_bits;
            return lanes - 1 - lane;
        }
    } else {
        for (std::size_t k = 0; k < lanes; ++k) {
            const std::size_t lane = Way == Direction::Forward ? k : lanes - 1 - k;
            if (hits[lane] != 0) {
                return k;
            }
        }
        return lanes;  // unreachable: some lane hit
    }
}

}  // namespace candidate_detail

// The least reading position j >= from with hay[j] == needle[0] and
// hay[j + m - 1] == needle[m - 1], or no_position. Requires 1 <= m <= hay.size
// (a one-unit needle is its own candidate: a hit is a match).
// Cost: about one vector step per lane count of positions passed over.
template <typename Unit, Direction Way>
std::size_t find_candidate(UnitReading<Unit, Way> hay, UnitReading<Unit, Way> needle,
                           std::size_t from) noexcept {
    using namespace candidate_detail;
    using Value = typename UnitReading<Unit, Way>::Value;
    constexpr std::size_t lanes = platform::lanes16_count<Value>;
    const std::size_t m = needle.size;
    const Value first = needle[0];
    const Value last = needle[m - 1];
    const std::size_t windows = hay.size - m + 1;  // positions 0 to n - m
    std::size_t j = from;
    if (windows >= lanes) {
        const Lanes<Value> firsts = broadcast(first);
        const Lanes<Value> lasts = broadcast(last);
        // A block covers windows [at, at + lanes); their last units sit
        // m - 1 further on in reading order, which is lower memory when
        // reversed.
        const auto hits_at = [&](std::size_t at) {
            const Value* starts = hay.range(at, at + lanes);
            const Value* ends = Way == Direction::Forward ? starts + (m - 1) : starts - (m - 1);
            return (load_lanes(starts) == firsts) & (load_lanes(ends) == lasts);
        };
        // Four blocks a step, tested together: one branch per 64 bytes
        // while nothing hits, which is most of a scan for a rare needle.
        constexpr std::size_t step = 4 * lanes;
        for (; windows >= step && j <= windows - step; j += step) {
            const auto a = hits_at(j);
            const auto b = hits_at(j + lanes);
            const auto c = hits_at(j + 2 * lanes);
            const auto d = hits_at(j + 3 * lanes);
            if (any_lane(a | b | c | d)) {
                break;  // the block loop below finds which window
            }
        }
        for (; j <= windows - lanes; j += lanes) {
            const auto hits = hits_at(j);
            if (any_lane(hits)) {
                return j + first_hit<Value, Way>(hits);
            }
        }
    }
    for (; j < windows; ++j) {
        if (hay[j] == first && hay[j + m - 1] == last) {
            return j;
        }
    }
    return no_position;
}

}  // namespace ostrel::text
