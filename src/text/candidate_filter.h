// The candidate filter in front of the Two-Way search: it finds the next
// window whose first and last bytes equal the needle's, testing sixteen
// windows per step with byte-vector compares. It never reads a byte twice,
// so adding it keeps the search linear; whether it pays is decided by the
// scanner, which turns it off when it keeps producing false candidates.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/portable.h"
#include "text/byte_reading.h"

namespace ostrel::text {

inline constexpr std::size_t kNoPosition = static_cast<std::size_t>(-1);

namespace candidate_detail {

constexpr std::size_t kLanes = 16;
// A vector type where the compiler has one (platform/portable.h).
using Lanes = platform::Bytes16;

inline Lanes broadcast(unsigned char byte) noexcept {
    Lanes lanes;
    for (std::size_t k = 0; k < kLanes; ++k) {
        lanes[k] = byte;
    }
    return lanes;
}

inline Lanes load_lanes(const unsigned char* at) noexcept {
    Lanes lanes;
    std::memcpy(&lanes, at, sizeof lanes);
    return lanes;
}

// The reading position, within the block, of the first window that hit:
// lanes are in memory order, which is reading order forward and the
// reverse of it backward. At least one lane of hits is set.
// Mask is what a lane-wise compare yields: -1 in equal lanes, 0 elsewhere.
template <Direction Way, typename Mask>
std::size_t first_hit(const Mask& hits) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t halves[2];
        std::memcpy(halves, &hits, sizeof halves);
        if constexpr (Way == Direction::Forward) {
            return halves[0] != 0 ? std::countr_zero(halves[0]) / 8
                                  : 8 + std::countr_zero(halves[1]) / 8;
        } else {
            const std::size_t lane = halves[1] != 0 ? 15 - std::countl_zero(halves[1]) / 8
                                                    : 7 - std::countl_zero(halves[0]) / 8;
            return kLanes - 1 - lane;
        }
    } else {
        for (std::size_t k = 0; k < kLanes; ++k) {
            const std::size_t lane = Way == Direction::Forward ? k : kLanes - 1 - k;
            if (hits[lane] != 0) {
                return k;
            }
        }
        return kLanes;  // unreachable: some lane hit
    }
}

}  // namespace candidate_detail

// The least reading position j >= from with hay[j] == needle[0] and
// hay[j + m - 1] == needle[m - 1], or kNoPosition. Requires 2 <= m <= hay.size.
// Cost: about one vector step per sixteen positions passed over.
template <Direction Way>
std::size_t find_candidate(ByteReading<Way> hay, ByteReading<Way> needle,
                           std::size_t from) noexcept {
    using namespace candidate_detail;
    const std::size_t m = needle.size;
    const unsigned char first = needle[0];
    const unsigned char last = needle[m - 1];
    const std::size_t windows = hay.size - m + 1;  // positions 0 to n - m
    std::size_t j = from;
    if (windows >= kLanes) {
        const Lanes firsts = broadcast(first);
        const Lanes lasts = broadcast(last);
        // A block covers windows [j, j + kLanes); its last bytes sit m - 1
        // further on in reading order, which is lower memory when reversed.
        for (; j <= windows - kLanes; j += kLanes) {
            const unsigned char* starts = hay.range(j, j + kLanes);
            const unsigned char* ends =
                Way == Direction::Forward ? starts + (m - 1) : starts - (m - 1);
            const auto hits = (load_lanes(starts) == firsts) & (load_lanes(ends) == lasts);
            std::uint64_t halves[2];
            std::memcpy(halves, &hits, sizeof halves);
            if ((halves[0] | halves[1]) != 0) {
                return j + first_hit<Way>(hits);
            }
        }
    }
    for (; j < windows; ++j) {
        if (hay[j] == first && hay[j + m - 1] == last) {
            return j;
        }
    }
    return kNoPosition;
}

}  // namespace ostrel::text
