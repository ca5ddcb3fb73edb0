// The table of every text kernel instantiated at width W; included only by
// the one translation unit per width (text/width_*.cpp).
#pragma once

#include "text/byte_kernels.h"
#include "text/candidate_filter.h"
#include "text/kernels.h"
#include "text/utf16_kernels.h"

namespace ostrel::text {

template <typename W>
struct KernelsAt {
    template <typename Unit, Direction Way>
    static std::size_t find(UnitReading<Unit, Way> hay, UnitReading<Unit, Way> needle,
                            std::size_t from) noexcept {
        return find_candidate<W>(hay, needle, from);
    }
    static std::size_t count_byte(const unsigned char* data, std::size_t size,
                                  unsigned char byte) noexcept {
        return byte_kernels::count_where<W>(data, size, byte_kernels::Equals{byte});
    }
    static std::size_t list_byte(const unsigned char* data, std::size_t size, unsigned char byte,
                                 std::size_t* out) noexcept {
        return byte_kernels::list_positions<W>(data, size, byte, out);
    }
    static std::size_t count_high_bytes(const unsigned char* data, std::size_t size) noexcept {
        return byte_kernels::count_where<W>(data, size, byte_kernels::High{});
    }
    static std::size_t utf16_code_points(const char16_t* data, std::size_t size) noexcept {
        return utf16_kernels::sum_weights<W, utf16_kernels::StartsCodePoint>(data, size);
    }
    static std::size_t utf16_utf8_bytes(const char16_t* data, std::size_t size) noexcept {
        return utf16_kernels::sum_weights<W, utf16_kernels::Utf8Share>(data, size);
    }

    static constexpr TextKernels table(platform::VectorWidth width) noexcept {
        return {width,
                &find<char, Direction::Forward>,
                &find<char, Direction::Reverse>,
                &find<char16_t, Direction::Forward>,
                &find<char16_t, Direction::Reverse>,
                &count_byte,
                &list_byte,
                &count_high_bytes,
                &utf16_code_points,
                &utf16_utf8_bytes};
    }
};

}  // namespace ostrel::text
