// MatchScanner: the disjoint occurrences of one substring in one string,
// found one at a time in one direction. A non-empty substring is sought
// with the Two-Way algorithm of Crochemore and Perrin on code units (linear
// time, constant memory) behind a cheaper candidate filter; the empty
// substring matches at every code-point boundary. The text is held in one
// of the encodings of index_units.h, whose code unit (a byte or a UTF-16
// unit) the search compares: one algorithm, instantiated per encoding.
#pragma once

#include "text/index_units.h"
#include "text/kernels.h"
#include "text/unit_reading.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace ostrel::text {

// The critical factorisation of a substring read in one direction: the
// substring is left = [0, critical) and right = [critical, m) of it.
struct Factorisation {
    std::size_t critical = 0;
    // The substring's period when periodic, otherwise a shift that is safe
    // after a mismatch in the left part: max(critical, m - critical) + 1.
    std::size_t shift = 0;
    // The left part repeats one period further on, so a window that fails
    // in its left part still shares m - shift matched units with the next.
    bool periodic = false;
};

// The candidate filter stays on while it skips enough positions per false
// candidate (a window it proposed that did not match) to repay its calls.
struct FilterState {
    bool on = true;
    std::size_t false_candidates = 0;
    std::size_t skipped = 0;
};

// A scanner serves one call and one direction: Forward finds matches from
// the start to the end, Reverse from the end to the start. It borrows both
// texts and owns nothing; positions are offsets in the encoding's units.
template <typename Encoding, Direction Way>
class MatchScanner {
public:
    using Units = text::Units<Encoding>;

    // Prepares the search: O(m) work (the factorisation for this
    // direction), no allocation.
    MatchScanner(Units string, Units substring) noexcept;

    // Forward: the leftmost match starting at or after the front, which
    // then moves to the match's end. Reverse: the rightmost match ending at
    // or before the back, which then moves to the match's start. Nothing
    // once there is none. Cost over a whole scan: O(n + m) unit comparisons.
    std::optional<std::size_t> next() noexcept;

private:
    std::optional<std::size_t> next_match() noexcept;
    std::optional<std::size_t> next_boundary() noexcept;

    Units string_;
    Units substring_;
    // Matches are still sought in [front_, back_).
    std::size_t front_ = 0;
    std::size_t back_ = 0;
    bool finished_ = false;
    // Empty-substring mode: the boundary at the scan position (front_
    // forward, back_ in reverse) is still to be reported.
    bool pending_ = true;
    // Substring mode: bit (u mod 64) is set for every unit u of the substring.
    std::uint64_t unit_mask_ = 0;
    Factorisation plan_ = {};
    FilterState filter_ = {};
    // The candidate filter of the vector width in use, looked up once.
    FindCandidate<typename Encoding::Unit, Way> find_candidate_;
};

extern template class MatchScanner<Utf8, Direction::Forward>;
extern template class MatchScanner<Utf8, Direction::Reverse>;
extern template class MatchScanner<Utf16, Direction::Forward>;
extern template class MatchScanner<Utf16, Direction::Reverse>;
extern template class MatchScanner<Latin1, Direction::Forward>;
extern template class MatchScanner<Latin1, Direction::Reverse>;

}  // namespace ostrel::text
