// A run of bytes read from its first byte or from its last. The scanner's
// search code is written once against this view: reading the haystack and
// the needle backwards turns "rightmost match ending at or before the back"
// into "leftmost match of the reversed needle", so the reverse scan is the
// forward algorithm on mirrored input, resolved at compile time.
#pragma once

#include <cstddef>

#include "text/match_scanner.h"

namespace ostrel::text {

template <Direction Way>
struct ByteReading {
    const unsigned char* data = nullptr;  // lowest address of the run
    std::size_t size = 0;

    // The byte at reading position i < size.
    unsigned char operator[](std::size_t i) const noexcept {
        if constexpr (Way == Direction::Forward) {
            return data[i];
        } else {
            return data[size - 1 - i];
        }
    }

    // The lowest address of the bytes at reading positions [from, to): in
    // either direction they are contiguous in memory.
    const unsigned char* range(std::size_t from, std::size_t to) const noexcept {
        if constexpr (Way == Direction::Forward) {
            (void)to;
            return data + from;
        } else {
            (void)from;
            return data + (size - to);
        }
    }

    // The byte offset of a run of length bytes found at reading position at.
    std::size_t offset_of(std::size_t at, std::size_t length) const noexcept {
        if constexpr (Way == Direction::Forward) {
            (void)length;
            return at;
        } else {
            return size - at - length;
        }
    }
};

}  // namespace ostrel::text
