// The MatchScanner: stepping over code-point boundaries for the empty
// substring, and otherwise the Two-Way search of Crochemore and Perrin with
// its critical factorisation. Both run in either direction through
// UnitReading, so the reverse scan is the same code on mirrored input, and
// over bytes or UTF-16 code units alike; only the empty substring's steps
// depend on the encoding.
#include "text/match_scanner.h"

#include "text/candidate_filter.h"
#include "text/index_units.h"
#include "text/kernels.h"
#include "text/unit_reading.h"

#include "platform/portable.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace ostrel::text {

namespace {

template <Direction Way, typename Unit>
UnitReading<Unit, Way> reading(std::basic_string_view<Unit> text) noexcept {
    using Value = typename UnitReading<Unit, Way>::Value;
    return {reinterpret_cast<const Value*>(text.data()), text.size()};
}

struct MaximalSuffix {
    std::size_t start;   // the suffix is needle[start, m)
    std::size_t period;  // the smallest period of that suffix
};

// The greatest suffix of needle in lexicographic order of units (of units
// with their order inverted when Inverted is set), and its period.
// Cost: fewer than 2m unit comparisons, O(1) memory.
template <bool Inverted, typename Unit, Direction Way>
MaximalSuffix maximal_suffix(UnitReading<Unit, Way> needle) noexcept {
    const std::size_t m = needle.size;
    std::size_t best = 0;        // start of the greatest suffix so far
    std::size_t challenger = 1;  // start of the suffix compared with it
    std::size_t k = 0;           // both agree on their first k units
    std::size_t period = 1;
    while (challenger + k < m) {
        const auto a = needle[challenger + k];
        const auto b = needle[best + k];
        if (a == b) {
            // A whole period agrees: the challenger repeats the best suffix
            // so far, and the next candidate is one period further on.
            if (k + 1 == period) {
                challenger += period;
                k = 0;
            } else {
                ++k;
            }
        } else if (Inverted ? a > b : a < b) {
            // Every suffix starting up to challenger + k loses to best; the
            // best suffix's period grows to cover the units compared so far.
            challenger += k + 1;
            k = 0;
            period = challenger - best;
        } else {
            best = challenger;
            challenger = best + 1;
            k = 0;
            period = 1;
        }
    }
    return {best, period};
}

// The critical factorisation of needle (m >= 2): of the greatest suffixes
// under the two unit orders, the one that starts later splits the needle
// into a left and a right part whose local period equals the needle's
// period. Cost: O(m).
//
// Example, needle "banana". Under the byte order the greatest suffix is
// "nana" (start 2, period 2); under the inverted order ('n' < 'b' < 'a')
// it is "anana" (start 1). The later start gives left "ba", right "nana",
// local period 2. "ba" does not recur two bytes on ("na"), so the needle is
// not periodic (its period is 6) and a failed left part shifts the window by
// max(2, 4) + 1 = 5.
template <typename Unit, Direction Way>
Factorisation factorise(UnitReading<Unit, Way> needle) noexcept {
    const std::size_t m = needle.size;
    const MaximalSuffix by_order = maximal_suffix<false>(needle);
    const MaximalSuffix by_inverse = maximal_suffix<true>(needle);
    const MaximalSuffix& split = by_order.start >= by_inverse.start ? by_order : by_inverse;
    const std::size_t critical = split.start;
    // The period of the right part is at most its length, so the left part
    // shifted by it stays inside the needle.
    assert(critical < m && critical + split.period <= m);
    if (std::memcmp(needle.range(0, critical), needle.range(split.period, split.period + critical),
                    critical * sizeof(Unit)) == 0) {
        return {critical, split.period, true};
    }
    return {critical, std::max(critical, m - critical) + 1, false};
}

// Called when a window the filter proposed did not match. After a warm-up,
// the filter has to skip on average one 16-byte vector's worth of
// positions per false candidate; below that, the plain Two-Way steps with
// the unit mask are cheaper. The rule is the same at every vector width.
template <typename Unit>
void count_false_candidate(FilterState& filter) noexcept {
    constexpr std::size_t warm_up = 64;
    constexpr std::size_t minimum_skip = filter_vector_bytes / sizeof(Unit);
    ++filter.false_candidates;
    if (filter.false_candidates >= warm_up &&
        filter.skipped < minimum_skip * filter.false_candidates) {
        filter.on = false;
    }
}

// Whether the window at j agrees with the needle on reading positions
// [memory, critical); the order of the comparisons does not matter, since
// any mismatch leads to the same shift. Cost: at most critical - memory
// unit comparisons.
template <typename Unit, Direction Way>
bool left_part_matches(UnitReading<Unit, Way> hay, UnitReading<Unit, Way> needle, std::size_t j,
                       std::size_t memory, std::size_t critical) noexcept {
    // Left parts are mostly a few units long, where a call to memcmp costs
    // more than the comparisons themselves.
    constexpr std::size_t short_part = 16;
    if (memory >= critical) {
        return true;
    }
    if (critical - memory < short_part) {
        for (std::size_t i = memory; i < critical; ++i) {
            if (needle[i] != hay[j + i]) {
                return false;
            }
        }
        return true;
    }
    return std::memcmp(needle.range(memory, critical), hay.range(j + memory, j + critical),
                       (critical - memory) * sizeof(Unit)) == 0;
}

// The least reading position of needle in hay, or no_position; requires
// 2 <= m <= n. Cost: O(n + m) unit comparisons, since every comparison is
// paid for by the shift that follows it, and the filter tests each window
// position once before the search moves past it.
template <typename Unit, Direction Way>
std::size_t two_way_find(UnitReading<Unit, Way> hay, UnitReading<Unit, Way> needle,
                         const Factorisation& plan, std::uint64_t unit_mask, FilterState& filter,
                         FindCandidate<Unit, Way> find_candidate) noexcept {
    const std::size_t n = hay.size;
    const std::size_t m = needle.size;
    const std::size_t critical = plan.critical;
    std::size_t j = 0;
    // The window at j is known to agree with the needle on its first memory
    // units: what overlapped from the previous window, periodic needles only.
    std::size_t memory = 0;
    while (j <= n - m) {
        assert(memory == 0 || (plan.periodic && memory == m - plan.shift));
        bool proposed = false;
        if (memory == 0 && filter.on) {
            // Jumping ahead is only safe while nothing is remembered.
            const std::size_t next = find_candidate(hay, needle, j);
            if (next == no_position) {
                return no_position;
            }
            filter.skipped += next - j;
            j = next;
            proposed = true;
        } else if (((unit_mask >> (hay[j + m - 1] % 64)) & 1) == 0) {
            // That unit occurs nowhere in the needle, so no window holding
            // it can match: the next candidate starts just after it.
            j += m;
            memory = 0;
            continue;
        }

        // The right part, left to right. A mismatch at i rules out every
        // start up to j + i - critical: the factorisation is critical, so no
        // shorter shift can line the right part up with what was just read.
        std::size_t i = std::max(critical, memory);
        while (i < m && needle[i] == hay[j + i]) {
            ++i;
        }
        if (i < m) {
            j += i - critical + 1;
            memory = 0;
        } else if (left_part_matches(hay, needle, j, memory, critical)) {
            return j;
        } else if (plan.periodic) {
            // Short period: the right part matched, the left did not. The
            // next possible start is one period on, and the units that this
            // window and the next one share are already known to agree.
            j += plan.shift;
            memory = m - plan.shift;
        } else {
            // Long period: the shift max(left, right) + 1 is no longer than
            // the period, and no occurrence starts before it.
            j += plan.shift;
        }
        if (proposed) {
            count_false_candidate<Unit>(filter);
        }
    }
    return no_position;
}

// A one-unit needle: the C library's byte search for bytes, the vector
// filter (whose candidates are then matches) for wider units.
template <typename Unit, Direction Way>
std::size_t find_unit(UnitReading<Unit, Way> hay, UnitReading<Unit, Way> needle,
                      FindCandidate<Unit, Way> find_candidate) noexcept {
    if constexpr (sizeof(Unit) > 1) {
        return find_candidate(hay, needle, 0);
    } else if constexpr (Way == Direction::Forward) {
        const void* at = std::memchr(hay.data, needle[0], hay.size);
        return at == nullptr ? no_position : static_cast<const unsigned char*>(at) - hay.data;
    } else {
        const void* at = platform::memrchr(hay.data, needle[0], hay.size);
        return at == nullptr ? no_position
                             : hay.size - 1 - (static_cast<const unsigned char*>(at) - hay.data);
    }
}

}  // namespace

template <typename Encoding, Direction Way>
MatchScanner<Encoding, Way>::MatchScanner(Units string, Units substring) noexcept
    : string_(string),
      substring_(substring),
      back_(string.size()),
      find_candidate_(kernels().find_candidate<typename Encoding::Unit, Way>()) {
    // The empty and one-unit substrings need no Two-Way state.
    if (substring.size() < 2) {
        return;
    }
    using Value = std::make_unsigned_t<typename Encoding::Unit>;
    for (const auto unit : substring) {
        unit_mask_ |= std::uint64_t{1} << (static_cast<Value>(unit) % 64);
    }
    plan_ = factorise(reading<Way>(substring));
}

// Substring mode; cost over a whole scan: O(n + m).
template <typename Encoding, Direction Way>
std::optional<std::size_t> MatchScanner<Encoding, Way>::next_match() noexcept {
    const std::size_t m = substring_.size();
    // Invariant: front_ <= back_, and no match lies outside [front_, back_).
    assert(front_ <= back_ && back_ <= string_.size());
    if (finished_ || back_ - front_ < m) {
        finished_ = true;
        return std::nullopt;
    }
    const auto hay = reading<Way>(string_.substr(front_, back_ - front_));
    const auto needle = reading<Way>(substring_);
    const std::size_t at =
        m == 1 ? find_unit(hay, needle, find_candidate_)
               : two_way_find(hay, needle, plan_, unit_mask_, filter_, find_candidate_);
    if (at == no_position) {
        finished_ = true;
        return std::nullopt;
    }
    const std::size_t start = front_ + hay.offset_of(at, m);
    if constexpr (Way == Direction::Forward) {
        front_ = start + m;
    } else {
        back_ = start;
    }
    return start;
}

// Empty-substring mode: every code-point boundary once, 0 and n included;
// cost over a whole scan: O(n).
template <typename Encoding, Direction Way>
std::optional<std::size_t> MatchScanner<Encoding, Way>::next_boundary() noexcept {
    if (finished_) {
        return std::nullopt;
    }
    std::size_t& at = Way == Direction::Forward ? front_ : back_;
    if (pending_) {
        pending_ = false;
        return at;
    }
    if constexpr (Way == Direction::Forward) {
        if (at == string_.size()) {
            finished_ = true;
            return std::nullopt;
        }
        do {
            ++at;
        } while (at != string_.size() && Encoding::continues(string_[at]));
    } else {
        if (at == 0) {
            finished_ = true;
            return std::nullopt;
        }
        do {
            --at;
        } while (at != 0 && Encoding::continues(string_[at]));
    }
    return at;
}

template <typename Encoding, Direction Way>
std::optional<std::size_t> MatchScanner<Encoding, Way>::next() noexcept {
    return substring_.empty() ? next_boundary() : next_match();
}

template class MatchScanner<Utf8, Direction::Forward>;
template class MatchScanner<Utf8, Direction::Reverse>;
template class MatchScanner<Utf16, Direction::Forward>;
template class MatchScanner<Utf16, Direction::Reverse>;
template class MatchScanner<Latin1, Direction::Forward>;
template class MatchScanner<Latin1, Direction::Reverse>;

}  // namespace ostrel::text
