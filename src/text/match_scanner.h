// MatchScanner: the disjoint occurrences of one substring in one string,
// found one at a time from the front or from the back. A non-empty
// substring is sought with the Two-Way algorithm of Crochemore and Perrin on
// bytes (linear time, constant memory) behind a cheaper candidate filter;
// the empty substring matches at every code-point boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "text/index_units.h"

namespace ostrel::text {

enum class Direction { Forward, Reverse };

// A scanner serves one call and is driven in one direction only; it borrows
// both Texts and owns nothing.
class MatchScanner {
public:
    // Prepares the search: O(m) work, no allocation; each direction's
    // factorisation (also O(m)) is made when that direction is first used.
    MatchScanner(Text string, Text substring) noexcept;

    // The leftmost match starting at or after the front, which then moves to
    // the match's end; nothing once there is none. Cost over a whole scan:
    // O(n + m) byte comparisons.
    std::optional<std::size_t> next_forward() noexcept;

    // The rightmost match ending at or before the back, which then moves to
    // the match's start; nothing once there is none. Same cost.
    std::optional<std::size_t> next_reverse() noexcept;

    // The critical factorisation of the substring read in one direction:
    // the substring is left = [0, critical) and right = [critical, m) of it.
    struct Factorisation {
        std::size_t critical = 0;
        // The substring's period when periodic, otherwise a shift that is
        // safe after a mismatch in the left part: max(critical, m - critical) + 1.
        std::size_t shift = 0;
        // The left part repeats one period further on, so a window that fails
        // in its left part still shares m - shift matched bytes with the next.
        bool periodic = false;
    };

    // The candidate filter stays on while it skips enough bytes per false
    // candidate (a window it proposed that did not match) to repay its calls.
    struct FilterState {
        bool on = true;
        std::size_t false_candidates = 0;
        std::size_t skipped = 0;
    };

private:
    template <Direction Way>
    std::optional<std::size_t> next_match() noexcept;
    template <Direction Way>
    std::optional<std::size_t> next_boundary() noexcept;

    Text string_;
    Text substring_;
    // Byte offsets: matches are still sought in [front_, back_).
    std::size_t front_ = 0;
    std::size_t back_ = 0;
    bool finished_ = false;

    // Empty-substring mode: the boundary at front_ (back_) is still to be
    // reported.
    bool front_pending_ = true;
    bool back_pending_ = true;

    // Substring mode: bit (b mod 64) is set for every byte b of the substring.
    std::uint64_t byte_mask_ = 0;
    Factorisation forward_ = {};
    Factorisation reverse_ = {};
    bool planned_[2] = {false, false};  // forward_, reverse_ computed
    FilterState filter_ = {};
};

}  // namespace ostrel::text
