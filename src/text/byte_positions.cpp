// One-byte positions, 16 bytes a step: a block is compared with the byte as
// one vector (platform::Lanes16, which becomes SIMD compares on x86-64 and
// ARM alike), and a hit byte compares as 0xFF. The bytes of each
// half block are then gathered as a word with multiplications.
#include "text/byte_positions.h"

#include "platform/portable.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace ostrel::text {

namespace {

using Block = platform::Lanes16<unsigned char>;
using Halves = platform::Lanes16<std::uint64_t>;
constexpr std::size_t kBlock = sizeof(Block);
constexpr std::uint64_t kEveryByte = 0x0101010101010101u;

Block load_block(const unsigned char* at) noexcept {
    Block block;
    std::memcpy(&block, at, kBlock);
    return block;
}

Block splat(unsigned char byte) noexcept {
    Block block;
    std::memset(&block, byte, kBlock);
    return block;
}

// The sum of the eight bytes of a word, each at most 31.
std::size_t byte_sum(std::uint64_t bytes) noexcept {
    return (bytes * kEveryByte) >> 56;
}

// Bit k set for each byte k of block that equals the wanted byte.
#if OSTREL_HAVE_SSE2_MOVEMASK
// One instruction (pmovmskb, always present on x86-64) gathers the bits.
unsigned hits_in(const Block& block, const Block& wanted) noexcept {
    using Chars = platform::Lanes16<char>;
    return static_cast<unsigned>(__builtin_ia32_pmovmskb128(std::bit_cast<Chars>(block == wanted)));
}
#else
// Bit k set for each byte k (in memory order) that is 0xFF; every byte
// must be 0xFF or 0.
unsigned hit_bits(std::uint64_t bytes) noexcept {
    if constexpr (std::endian::native == std::endian::big) {
        // Reverse the byte order (compilers emit one byte-swap instruction).
        bytes = (bytes & 0x00FF00FF00FF00FFu) << 8 | (bytes >> 8 & 0x00FF00FF00FF00FFu);
        bytes = (bytes & 0x0000FFFF0000FFFFu) << 16 | (bytes >> 16 & 0x0000FFFF0000FFFFu);
        bytes = bytes << 32 | bytes >> 32;
    }
    return static_cast<unsigned>(((bytes & (kEveryByte << 7)) * 0x0002040810204081u) >> 56);
}

unsigned hits_in(const Block& block, const Block& wanted) noexcept {
    const Halves hits = std::bit_cast<Halves>(block == wanted);
    return hit_bits(hits[0]) | hit_bits(hits[1]) << 8;
}
#endif

// The hit bits of the last, short block of the string, which starts at
// data + i (bit k for byte i + k). It is read as the string's last 16 bytes,
// or copied out when the string is shorter, so nothing outside the string
// is read.
unsigned tail_hits(const unsigned char* data, std::size_t size, std::size_t i,
                   const Block& wanted) noexcept {
    const std::size_t left = size - i;
    if (size >= kBlock) return hits_in(load_block(data + size - kBlock), wanted) >> (kBlock - left);
    Block block = {};
    std::memcpy(&block, data + i, left);
    return hits_in(block, wanted) & ((1u << left) - 1);
}

// Hits are summed per byte lane and folded into the total after 31 blocks,
// while each half's byte sum still fits in a byte.
std::size_t count_byte(const unsigned char* data, std::size_t size, unsigned char byte) noexcept {
    constexpr std::size_t kFoldEvery = 31;
    const Block wanted = splat(byte);
    std::size_t total = 0;
    std::size_t i = 0;
    while (size - i >= kBlock) {
        Block lanes = {};
        for (std::size_t k = 0; k < kFoldEvery && size - i >= kBlock; ++k, i += kBlock)
            lanes -= std::bit_cast<Block>(load_block(data + i) == wanted);
        const Halves halves = std::bit_cast<Halves>(lanes);
        total += byte_sum(halves[0]) + byte_sum(halves[1]);
    }
    if (i < size)
        total += static_cast<std::size_t>(std::popcount(tail_hits(data, size, i, wanted)));
    return total;
}

// Appends within the capacity reserved for them, so push_back never
// reallocates; unlike resize, it writes each entry once.
void fill_positions(const unsigned char* data, std::size_t size, unsigned char byte,
                    std::vector<std::size_t>& out) {
    const Block wanted = splat(byte);
    const auto append = [&out](std::size_t base, unsigned mask) {
        for (; mask != 0; mask &= mask - 1)
            out.push_back(base + static_cast<std::size_t>(std::countr_zero(mask)));
    };
    std::size_t i = 0;
    for (; size - i >= kBlock; i += kBlock) append(i, hits_in(load_block(data + i), wanted));
    if (i < size) append(i, tail_hits(data, size, i, wanted));
}

}  // namespace

std::vector<std::size_t> byte_positions(Text string, unsigned char byte) {
    const auto* data = reinterpret_cast<const unsigned char*>(string.data());
    std::vector<std::size_t> positions;
    const std::size_t count = count_byte(data, string.size(), byte);
    if (count == 0) return positions;
    positions.reserve(count);
    fill_positions(data, string.size(), byte, positions);
    return positions;
}

}  // namespace ostrel::text
