// Counting over UTF-16 units, written once over the vector width W
// (platform/lanes.h): code points (units that are not low surrogates) and
// the UTF-8 length of a range. One 16-bit lane per unit; the lanes are
// summed once per block, before any lane can reach 65536.
#pragma once

#include "platform/lanes.h"

#include <bit>
#include <cstddef>
#include <cstdint>

namespace ostrel::text::utf16_kernels {

template <typename W>
using UnitLanes = platform::Vector<W, std::uint16_t>;

// A lane-wise compare yields all bits set (0xFFFF) where it holds, and
// adding that is subtracting 1; the weights below are sums of such terms.
template <typename W, typename Mask>
UnitLanes<W> as_units(const Mask& holds) noexcept {
    return std::bit_cast<UnitLanes<W>>(holds);
}

// 1 for a unit that starts a code point (not a low surrogate), else 0.
struct StartsCodePoint {
    static constexpr std::size_t most = 1;
    // The templates here and below take the width only so that each
    // width's translation unit has its own copy (see platform::Bytes16Within).
    template <typename W>
    static std::size_t one(char16_t unit) noexcept {
        return (unit & 0xFC00) == 0xDC00 ? 0 : 1;
    }
    template <typename W>
    static UnitLanes<W> lanes(const UnitLanes<W>& units) noexcept {
        const UnitLanes<W> low_surrogates = platform::splat<W>(std::uint16_t{0xDC00});
        return platform::splat<W>(std::uint16_t{1}) +
               as_units<W>((units & platform::splat<W>(std::uint16_t{0xFC00})) == low_surrogates);
    }
};

// The UTF-8 length of each unit's share of its code point: 1, 2 or 3 for a
// unit below 0x80, below 0x800 or above, and 2 for each half of a pair.
struct Utf8Share {
    static constexpr std::size_t most = 3;
    template <typename W>
    static std::size_t one(char16_t unit) noexcept {
        if ((unit & 0xF800) == 0xD800) return 2;
        return unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
    }
    template <typename W>
    static UnitLanes<W> lanes(const UnitLanes<W>& units) noexcept {
        const auto at_least = [&units](std::uint16_t bound) {
            return as_units<W>(units >= platform::splat<W>(bound));
        };
        const UnitLanes<W> surrogate =
            as_units<W>((units & platform::splat<W>(std::uint16_t{0xF800})) ==
                        platform::splat<W>(std::uint16_t{0xD800}));
        return platform::splat<W>(std::uint16_t{1}) - at_least(0x80) - at_least(0x800) + surrogate;
    }
};

// The sum of Weight's lanes over whole vectors of [data + *at, data + size),
// moving *at past them.
template <typename W, typename Weight>
std::size_t sum_blocks(const char16_t* data, std::size_t size, std::size_t& at) noexcept {
    constexpr std::size_t lanes = platform::lane_count<W, std::uint16_t>;
    constexpr std::size_t block_vectors = 0xFFFF / Weight::most;
    const auto* units = reinterpret_cast<const std::uint16_t*>(data);
    std::size_t sum = 0;
    std::size_t vectors_left = (size - at) / lanes;
    while (vectors_left != 0) {
        const std::size_t block = vectors_left < block_vectors ? vectors_left : block_vectors;
        UnitLanes<W> total = {};
        for (std::size_t i = 0; i < block; ++i, at += lanes)
            total += Weight::template lanes<W>(platform::load<W>(units + at));
        sum += platform::lane_sum<W, std::uint16_t>(total);
        vectors_left -= block;
    }
    return sum;
}

// The sum of Weight over the units [data, data + size).
template <typename W, typename Weight>
std::size_t sum_weights(const char16_t* data, std::size_t size) noexcept {
    std::size_t at = 0;
    std::size_t sum = sum_blocks<W, Weight>(data, size, at);
    if constexpr (W::bytes > 16) sum += sum_blocks<platform::Narrow16<W>, Weight>(data, size, at);
    for (; at < size; ++at) sum += Weight::template one<W>(data[at]);
    return sum;
}

}  // namespace ostrel::text::utf16_kernels
