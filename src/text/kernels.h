// The text kernels of one vector width, as a table of entry points, and
// the table in use. Each width's table is built in its own translation unit
// (text/width_*.cpp, compiled for that width's instruction set only); the
// module picks one when it is imported, so a call pays one indirect call
// per kernel it runs and nothing else for the choice.
#pragma once

#include "platform/vector_width.h"
#include "text/unit_reading.h"

#include <cstddef>
#include <cstdint>

namespace ostrel::text {

template <typename Unit, Direction Way>
using FindCandidate = std::size_t (*)(UnitReading<Unit, Way> hay, UnitReading<Unit, Way> needle,
                                      std::size_t from) noexcept;

struct TextKernels {
    platform::VectorWidth width;
    // The candidate filter (text/candidate_filter.h) per unit and direction.
    FindCandidate<char, Direction::Forward> find_byte_forward;
    FindCandidate<char, Direction::Reverse> find_byte_reverse;
    FindCandidate<char16_t, Direction::Forward> find_unit16_forward;
    FindCandidate<char16_t, Direction::Reverse> find_unit16_reverse;
    // One-byte passes (text/byte_kernels.h): how many bytes equal byte, and
    // their ascending offsets written to out, which has room for them all
    // (the count is returned again).
    std::size_t (*count_byte)(const unsigned char* data, std::size_t size,
                              unsigned char byte) noexcept;
    std::size_t (*list_byte)(const unsigned char* data, std::size_t size, unsigned char byte,
                             std::size_t* out) noexcept;
    // Bytes from 0x80 up: the extra UTF-8 byte of each such Latin-1 byte.
    std::size_t (*count_high_bytes)(const unsigned char* data, std::size_t size) noexcept;
    // Over UTF-16 units (text/utf16_kernels.h): code points, and UTF-8 bytes.
    std::size_t (*utf16_code_points)(const char16_t* data, std::size_t size) noexcept;
    std::size_t (*utf16_utf8_bytes)(const char16_t* data, std::size_t size) noexcept;

    template <typename Unit, Direction Way>
    FindCandidate<Unit, Way> find_candidate() const noexcept {
        if constexpr (sizeof(Unit) == 1) {
            if constexpr (Way == Direction::Forward) {
                return find_byte_forward;
            } else {
                return find_byte_reverse;
            }
        } else if constexpr (Way == Direction::Forward) {
            return find_unit16_forward;
        } else {
            return find_unit16_reverse;
        }
    }
};

// The table of a width this build holds (platform::width_built); any other
// width gives the 16-byte table.
const TextKernels& kernels_of(platform::VectorWidth width) noexcept;

// The table in use: 16 bytes until use_width is called. Set while the
// module is imported, before any call reads it, and not changed after.
extern const TextKernels* active_kernels;

inline const TextKernels& kernels() noexcept {
    return *active_kernels;
}

// Makes width's table the one in use; the caller has checked that the CPU
// runs it (platform::width_runs_here).
void use_width(platform::VectorWidth width) noexcept;

}  // namespace ostrel::text
