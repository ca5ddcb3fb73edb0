// One-byte passes over a run of bytes, written once over the vector width W
// (platform/lanes.h): counting the bytes that pass a test, and listing the
// offsets of one byte value. A block is tested as one vector, and a passing
// byte compares as 0xFF; the wider widths hand what is left below a block
// to 16-byte steps, and the last, short block is read so that nothing
// outside the run is touched.
#pragma once

#include "platform/lanes.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace ostrel::text::byte_kernels {

// The byte tests, lane-wise over a vector of bytes.
struct Equals {
    unsigned char byte;
    template <typename W>
    auto lanes(const platform::Vector<W, unsigned char>& block) const noexcept {
        return block == platform::splat<W>(byte);
    }
};
// Bytes from 0x80 up: the second UTF-8 byte of a Latin-1 character.
struct High {
    template <typename W>
    auto lanes(const platform::Vector<W, unsigned char>& block) const noexcept {
        // As signed bytes these are the negative ones: one compare.
        const auto bytes = std::bit_cast<platform::Vector<W, signed char>>(block);
        return bytes < platform::splat<W>(static_cast<signed char>(0));
    }
};

// The sum of the eight bytes of a word, each at most 31. (W only gives
// each width's translation unit its own copy.)
template <typename W>
std::size_t byte_sum(std::uint64_t bytes) noexcept {
    return static_cast<std::size_t>((bytes * 0x0101010101010101u) >> 56);
}

// Counts passing bytes in whole blocks from *at on, moving *at past them.
// Hits are summed per byte lane and folded into the total after 31 blocks,
// while each word's byte sum still fits in a byte.
template <typename W, typename Test>
std::size_t count_blocks(const unsigned char* data, std::size_t size, std::size_t& i,
                         Test test) noexcept {
    using Block = platform::Vector<W, unsigned char>;
    using Words = platform::Vector<W, std::uint64_t>;
    constexpr std::size_t fold_every = 31;
    std::size_t total = 0;
    while (size - i >= W::bytes) {
        Block lanes = {};
        for (std::size_t k = 0; k < fold_every && size - i >= W::bytes; ++k, i += W::bytes)
            lanes -= std::bit_cast<Block>(test.template lanes<W>(platform::load<W>(data + i)));
        const Words words = std::bit_cast<Words>(lanes);
        for (std::size_t k = 0; k < W::bytes / 8; ++k) total += byte_sum<W>(words[k]);
    }
    return total;
}

template <typename W>
using Narrow = platform::Narrow16<W>;

// One bit per passing byte: the lowest of each byte's group of hit bits.
template <typename W>
inline constexpr std::uint64_t lowest_bits =
    platform::bits_per_byte<W> == 1 ? ~std::uint64_t{0} : 0x1111111111111111u;

// The hit bits of the last, short block of the run, which starts at
// data + i (the bit group k for byte i + k). It is read as the run's last
// 16 bytes, or copied out when the run is shorter.
template <typename W, typename Test>
std::uint64_t tail_hits(const unsigned char* data, std::size_t size, std::size_t i,
                        Test test) noexcept {
    static_assert(W::bytes == 16);
    constexpr unsigned per_byte = platform::bits_per_byte<W>;
    const std::size_t left = size - i;
    if (size >= W::bytes) {
        const auto block = platform::load<W>(data + size - W::bytes);
        return platform::hit_bits<W>(test.template lanes<W>(block)) >>
               (per_byte * (W::bytes - left));
    }
    platform::Vector<W, unsigned char> block = {};
    std::memcpy(&block, data + i, left);
    return platform::hit_bits<W>(test.template lanes<W>(block)) &
           ((std::uint64_t{1} << (per_byte * left)) - 1);
}

// The number of bytes of [data, data + size) that pass test.
template <typename W, typename Test>
std::size_t count_where(const unsigned char* data, std::size_t size, Test test) noexcept {
    std::size_t i = 0;
    std::size_t total = count_blocks<W>(data, size, i, test);
    if constexpr (W::bytes > 16) total += count_blocks<Narrow<W>>(data, size, i, test);
    if (i == size) return total;
    const std::uint64_t bits = tail_hits<Narrow<W>>(data, size, i, test) & lowest_bits<Narrow<W>>;
    return total + static_cast<std::size_t>(std::popcount(bits));
}

// Writes the offsets of hits in whole blocks from i on; returns the
// position after them.
template <typename W>
std::size_t* list_blocks(const unsigned char* data, std::size_t size, std::size_t& i,
                         unsigned char byte, std::size_t* out) noexcept {
    constexpr unsigned per_byte = platform::bits_per_byte<W>;
    const Equals test{byte};
    for (; size - i >= W::bytes; i += W::bytes) {
        std::uint64_t bits = platform::hit_bits<W>(test.lanes<W>(platform::load<W>(data + i)));
        for (bits &= lowest_bits<W>; bits != 0; bits &= bits - 1)
            *out++ = i + static_cast<std::size_t>(std::countr_zero(bits)) / per_byte;
    }
    return out;
}

// Writes the ascending offsets of byte in [data, data + size) to out, which
// has room for all of them; returns how many there are.
template <typename W>
std::size_t list_positions(const unsigned char* data, std::size_t size, unsigned char byte,
                           std::size_t* out) noexcept {
    constexpr unsigned per_byte = platform::bits_per_byte<Narrow<W>>;
    std::size_t* const first = out;
    std::size_t i = 0;
    out = list_blocks<W>(data, size, i, byte, out);
    if constexpr (W::bytes > 16) out = list_blocks<Narrow<W>>(data, size, i, byte, out);
    if (i != size) {
        std::uint64_t bits =
            tail_hits<Narrow<W>>(data, size, i, Equals{byte}) & lowest_bits<Narrow<W>>;
        for (; bits != 0; bits &= bits - 1)
            *out++ = i + static_cast<std::size_t>(std::countr_zero(bits)) / per_byte;
    }
    return static_cast<std::size_t>(out - first);
}

}  // namespace ostrel::text::byte_kernels
