// The vector widths the text kernels run at, as lane types. A kernel is
// written once over a width tag W and reads bytes through Vector<W, T>
// (lanes of T with lane-wise operators, compares giving all-ones lanes) and
// hit_bits, the one operation that differs per instruction set: gathering a
// compare's lanes into an integer. Each width is instantiated in its own
// translation unit, compiled for that instruction set only, and the module
// picks one when it is imported (platform/vector_width.h).
#pragma once

#include "platform/portable.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if OSTREL_HAVE_VECTOR_EXTENSIONS && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define OSTREL_X86_LANES 1
#else
#define OSTREL_X86_LANES 0
#endif
#if OSTREL_HAVE_VECTOR_EXTENSIONS && defined(__ARM_NEON) && \
    __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#include <arm_neon.h>
#define OSTREL_NEON_LANES 1
#else
#define OSTREL_NEON_LANES 0
#endif

namespace ostrel::platform {

// The width tags. Plain is the C++ stand-in of portable.h, chosen on
// request so that it stays tested on machines with a vector unit; Bytes16
// is the vector extension at 16 bytes (SSE2, NEON, or plain words);
// Bytes32 and Bytes64 exist on x86-64 builds only, for AVX2 and AVX-512BW.
struct PlainWidth {
    static constexpr std::size_t bytes = 16;
};
struct Bytes16 {
    static constexpr std::size_t bytes = 16;
};
struct Bytes32 {
    static constexpr std::size_t bytes = 32;
};
struct Bytes64 {
    static constexpr std::size_t bytes = 64;
};

// 16-byte steps inside the kernels of a wider width W: the vectors of
// Bytes16 under a tag of their own, so that code compiled for W's
// instruction set never shares a symbol with the baseline's copy of the
// same template (the linker keeps one copy of each, and it must not be the
// one that needs the wider instruction set).
template <typename Wide>
struct Bytes16Within {
    static constexpr std::size_t bytes = 16;
};

// Whether W's vectors are Bytes16's.
template <typename W>
inline constexpr bool is_bytes16 = std::is_same_v<W, Bytes16>;
template <typename Wide>
inline constexpr bool is_bytes16<Bytes16Within<Wide>> = true;

// The 16-byte width the kernels of W use below one of W's blocks.
template <typename W>
using Narrow16 = std::conditional_t<(W::bytes > 16), Bytes16Within<W>, W>;

template <typename T, std::size_t Bytes>
struct VectorOf {
    typedef T Type __attribute__((vector_size(Bytes)));
};

template <typename W, typename T>
struct VectorType {
    using Type = typename VectorOf<T, W::bytes>::Type;
};
template <typename T>
struct VectorType<PlainWidth, T> {
    using Type = Lanes16Fallback<T>;
};
template <typename T>
struct VectorType<Bytes16, T> {
    using Type = Lanes16<T>;
};
template <typename Wide, typename T>
struct VectorType<Bytes16Within<Wide>, T> {
    using Type = Lanes16<T>;
};

template <typename W, typename T>
using Vector = typename VectorType<W, T>::Type;

// Lanes of T per vector of width W.
template <typename W, typename T>
inline constexpr std::size_t lane_count = W::bytes / sizeof(T);

template <typename W, typename T>
Vector<W, T> load(const T* at) noexcept {
    Vector<W, T> lanes;
    std::memcpy(&lanes, at, sizeof lanes);
    return lanes;
}

// value in every lane. The vector extension broadcasts a scalar operand in
// one instruction; the plain stand-in is filled as an array. (Setting a
// vector's lanes one at a time makes GCC store them to memory one by one,
// and a wide vector copied from an array stays in memory in the loop.)
template <typename W, typename T>
Vector<W, T> splat(T value) noexcept {
    if constexpr (std::is_same_v<Vector<W, T>, Lanes16Fallback<T>>) {
        return Lanes16Fallback<T>::splat(value);
    } else {
        const Vector<W, T> zero = {};
        return zero + value;
    }
}

// How many bits hit_bits gives each byte of a vector: 4 with NEON's
// narrowing shift, 1 elsewhere.
template <typename W>
inline constexpr unsigned bits_per_byte = OSTREL_NEON_LANES&& is_bytes16<W> ? 4 : 1;

namespace lanes_detail {

// Bit k set for each byte k (in memory order) of bytes that is 0xFF; every
// byte must be 0xFF or 0. Multiplications gather the top bits.
template <typename W>
unsigned word_hit_bits(std::uint64_t bytes) noexcept {
    constexpr std::uint64_t every_byte = 0x0101010101010101u;
    if constexpr (std::endian::native == std::endian::big) {
        // Reverse the byte order (compilers emit one byte-swap instruction).
        bytes = (bytes & 0x00FF00FF00FF00FFu) << 8 | (bytes >> 8 & 0x00FF00FF00FF00FFu);
        bytes = (bytes & 0x0000FFFF0000FFFFu) << 16 | (bytes >> 16 & 0x0000FFFF0000FFFFu);
        bytes = bytes << 32 | bytes >> 32;
    }
    return static_cast<unsigned>(((bytes & (every_byte << 7)) * 0x0002040810204081u) >> 56);
}

template <typename W, typename Mask>
std::uint64_t words_hit_bits(const Mask& hits) noexcept {
    constexpr std::size_t words = W::bytes / 8;
    std::uint64_t word[words];
    std::memcpy(word, &hits, sizeof word);
    std::uint64_t bits = 0;
    for (std::size_t k = 0; k < words; ++k)
        bits |= std::uint64_t{word_hit_bits<W>(word[k])} << 8 * k;
    return bits;
}

}  // namespace lanes_detail

// The lanes of a lane-wise compare (every bit of a lane set where it held,
// none elsewhere) as an integer: bits_per_byte<W> bits for each byte, the
// byte at memory offset k at bit k * bits_per_byte<W>; a lane of T takes
// sizeof(T) of those groups, all set or all clear.
template <typename W, typename Mask>
std::uint64_t hit_bits(const Mask& hits) noexcept {
    static_assert(sizeof(Mask) == W::bytes);
#if OSTREL_X86_LANES
    if constexpr (std::is_same_v<W, Bytes64>) {
        return _mm512_movepi8_mask(std::bit_cast<__m512i>(hits));
    } else if constexpr (std::is_same_v<W, Bytes32>) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(std::bit_cast<__m256i>(hits)));
    } else if constexpr (is_bytes16<W>) {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(std::bit_cast<__m128i>(hits)));
    } else {
        return lanes_detail::words_hit_bits<W>(hits);
    }
#elif OSTREL_NEON_LANES
    if constexpr (is_bytes16<W>) {
        // Each byte narrowed to the four bits around its middle: 0xF or 0.
        const uint8x8_t nibbles =
            vshrn_n_u16(vreinterpretq_u16_u8(std::bit_cast<uint8x16_t>(hits)), 4);
        return vget_lane_u64(vreinterpret_u64_u8(nibbles), 0);
    } else {
        return lanes_detail::words_hit_bits<W>(hits);
    }
#else
    return lanes_detail::words_hit_bits<W>(hits);
#endif
}

// Whether any lane of a compare is set.
template <typename W, typename Mask>
bool any_hit(const Mask& hits) noexcept {
    return hit_bits<W>(hits) != 0;
}

// The sum of all lanes of a vector of unsigned lanes.
template <typename W, typename T>
std::size_t lane_sum(const Vector<W, T>& lanes) noexcept {
    std::size_t sum = 0;
    for (std::size_t k = 0; k < lane_count<W, T>; ++k) sum += lanes[k];
    return sum;
}

}  // namespace ostrel::platform
