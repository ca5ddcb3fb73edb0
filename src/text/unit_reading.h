// A run of code units read from its first unit or from its last. The
// scanner's search code is written once against this view: reading the
// haystack and the needle backwards turns "rightmost match ending at or
// before the back" into "leftmost match of the reversed needle", so the
// reverse scan is the forward algorithm on mirrored input, and the unit
// (a UTF-8 byte or a UTF-16 code unit) is a type, both resolved at compile
// time.
#pragma once

#include <cstddef>
#include <type_traits>

namespace ostrel::text {

enum class Direction { Forward, Reverse };

template <typename Unit, Direction Way>
struct UnitReading {
    // Units compare as unsigned values, so that both orders of the
    // factorisation agree between char and char16_t.
    using Value = std::make_unsigned_t<Unit>;

    const Value* data = nullptr;  // lowest address of the run
    std::size_t size = 0;

    // The unit at reading position i < size.
    Value operator[](std::size_t i) const noexcept {
        if constexpr (Way == Direction::Forward) {
            return data[i];
        } else {
            return data[size - 1 - i];
        }
    }

    // The lowest address of the units at reading positions [from, to): in
    // either direction they are contiguous in memory.
    const Value* range(std::size_t from, std::size_t to) const noexcept {
        if constexpr (Way == Direction::Forward) {
            (void)to;
            return data + from;
        } else {
            (void)from;
            return data + (size - to);
        }
    }

    // The offset of a run of length units found at reading position at.
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
