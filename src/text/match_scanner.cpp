// The MatchScanner: stepping over code-point boundaries for the empty
// substring, and otherwise the Two-Way search of Crochemore and Perrin with
// its critical factorisation. Both run in either direction through
// ByteReading, so the reverse scan is the same code on mirrored input.
#include "text/match_scanner.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "platform/portable.h"
#include "text/byte_reading.h"
#include "text/candidate_filter.h"

namespace ostrel::text {

namespace {

template <Direction Way>
ByteReading<Way> reading(Text text) noexcept {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

struct MaximalSuffix {
    std::size_t start;   // the suffix is needle[start, m)
    std::size_t period;  // the smallest period of that suffix
};

// The greatest suffix of needle in lexicographic order of bytes (of bytes
// with their order inverted when Inverted is set), and its period.
// Cost: fewer than 2m byte comparisons, O(1) memory.
template <Direction Way, bool Inverted>
MaximalSuffix maximal_suffix(ByteReading<Way> needle) noexcept {
    const std::size_t m = needle.size;
    std::size_t best = 0;        // start of the greatest suffix so far
    std::size_t challenger = 1;  // start of the suffix compared with it
    std::size_t k = 0;           // both agree on their first k bytes
    std::size_t period = 1;
    while (challenger + k < m) {
        const unsigned char a = needle[challenger + k];
        const unsigned char b = needle[best + k];
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
            // best suffix's period grows to cover the bytes compared so far.
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
// under the two byte orders, the one that starts later splits the needle
// into a left and a right part whose local period equals the needle's
// period. Cost: O(m).
//
// Example, needle "banana". Under the byte order the greatest suffix is
// "nana" (start 2, period 2); under the inverted order ('n' < 'b' < 'a')
// it is "anana" (start 1). The later start gives left "ba", right "nana",
// local period 2. "ba" does not recur two bytes on ("na"), so the needle is
// not periodic (its period is 6) and a failed left part shifts the window by
// max(2, 4) + 1 = 5.
template <Direction Way>
MatchScanner::Factorisation factorise(ByteReading<Way> needle) noexcept {
    const std::size_t m = needle.size;
    const MaximalSuffix by_order = maximal_suffix<Way, false>(needle);
    const MaximalSuffix by_inverse = maximal_suffix<Way, true>(needle);
    const MaximalSuffix& split = by_order.start >= by_inverse.start ? by_order : by_inverse;
    const std::size_t critical = split.start;
    // The period of the right part is at most its length, so the left part
    // shifted by it stays inside the needle.
    assert(critical < m && critical + split.period <= m);
    if (std::memcmp(needle.range(0, critical), needle.range(split.period, split.period + critical),
                    critical) == 0) {
        return {critical, split.period, true};
    }
    return {critical, std::max(critical, m - critical) + 1, false};
}

// Called when a window the filter proposed did not match. After a warm-up,
// the filter has to skip on average kMinimumSkip bytes per false candidate;
// below that, the plain Two-Way steps with the byte mask are cheaper.
void count_false_candidate(MatchScanner::FilterState& filter) noexcept {
    constexpr std::size_t kWarmUp = 64;
    constexpr std::size_t kMinimumSkip = 16;
    ++filter.false_candidates;
    if (filter.false_candidates >= kWarmUp &&
        filter.skipped < kMinimumSkip * filter.false_candidates) {
        filter.on = false;
    }
}

// Whether the window at j agrees with the needle on reading positions
// [memory, critical); the order of the comparisons does not matter, since
// any mismatch leads to the same shift. Cost: at most critical - memory
// byte comparisons.
template <Direction Way>
bool left_part_matches(ByteReading<Way> hay, ByteReading<Way> needle, std::size_t j,
                       std::size_t memory, std::size_t critical) noexcept {
    // Left parts are mostly a few bytes long, where a call to memcmp costs
    // more than the comparisons themselves.
    constexpr std::size_t kShortPart = 16;
    if (memory >= critical) {
        return true;
    }
    if (critical - memory < kShortPart) {
        for (std::size_t i = memory; i < critical; ++i) {
            if (needle[i] != hay[j + i]) {
                return false;
            }
        }
        return true;
    }
    return std::memcmp(needle.range(memory, critical), hay.range(j + memory, j + critical),
                       critical - memory) == 0;
}

// The least reading position of needle in hay, or kNoPosition; requires
// 2 <= m <= n. Cost: O(n + m) byte comparisons, since every comparison is
// paid for by the shift that follows it, and the filter never reads a byte
// the window has already passed.
template <Direction Way>
std::size_t two_way_find(ByteReading<Way> hay, ByteReading<Way> needle,
                         const MatchScanner::Factorisation& plan, std::uint64_t byte_mask,
                         MatchScanner::FilterState& filter) noexcept {
    const std::size_t n = hay.size;
    const std::size_t m = needle.size;
    const std::size_t critical = plan.critical;
    std::size_t j = 0;
    // The window at j is known to agree with the needle on its first memory
    // bytes: what overlapped from the previous window, periodic needles only.
    std::size_t memory = 0;
    while (j <= n - m) {
        assert(memory == 0 || (plan.periodic && memory == m - plan.shift));
        bool proposed = false;
        if (memory == 0 && filter.on) {
            // Jumping ahead is only safe while nothing is remembered.
            const std::size_t next = find_candidate(hay, needle, j);
            if (next == kNoPosition) {
                return kNoPosition;
            }
            filter.skipped += next - j;
            j = next;
            proposed = true;
        } else if (((byte_mask >> (hay[j + m - 1] % 64)) & 1) == 0) {
            // That byte occurs nowhere in the needle, so no window holding
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
            // next possible start is one period on, and the bytes that this
            // window and the next one share are already known to agree.
            j += plan.shift;
            memory = m - plan.shift;
        } else {
            // Long period: the shift max(left, right) + 1 is no longer than
            // the period, and no occurrence starts before it.
            j += plan.shift;
        }
        if (proposed) {
            count_false_candidate(filter);
        }
    }
    return kNoPosition;
}

// A one-byte needle is found by the C library's byte search directly.
template <Direction Way>
std::size_t find_byte(ByteReading<Way> hay, unsigned char byte) noexcept {
    if constexpr (Way == Direction::Forward) {
        const void* at = std::memchr(hay.data, byte, hay.size);
        return at == nullptr ? kNoPosition : static_cast<const unsigned char*>(at) - hay.data;
    } else {
        const void* at = platform::memrchr(hay.data, byte, hay.size);
        return at == nullptr ? kNoPosition
                             : hay.size - 1 - (static_cast<const unsigned char*>(at) - hay.data);
    }
}

// The UTF-8 length of the code point whose lead byte is lead.
std::size_t code_point_length(char lead) noexcept {
    const auto byte = static_cast<unsigned char>(lead);
    return byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
}

}  // namespace

MatchScanner::MatchScanner(Text string, Text substring) noexcept
    : string_(string), substring_(substring), back_(string.size()) {
    // The empty and one-byte substrings need no Two-Way state.
    if (substring.size() < 2) {
        return;
    }
    for (const char byte : substring) {
        byte_mask_ |= std::uint64_t{1} << (static_cast<unsigned char>(byte) % 64);
    }
    // The factorisations are made on first use: a scanner is driven in one
    // direction only, and for short texts the other one would cost as much
    // as the search itself.
}

// Substring mode; cost over a whole scan: O(n + m).
template <Direction Way>
std::optional<std::size_t> MatchScanner::next_match() noexcept {
    const std::size_t m = substring_.size();
    // Invariant: front_ <= back_, and no match lies outside [front_, back_).
    assert(front_ <= back_ && back_ <= string_.size());
    if (finished_ || back_ - front_ < m) {
        finished_ = true;
        return std::nullopt;
    }
    if (m >= 2 && !planned_[Way == Direction::Forward ? 0 : 1]) {
        planned_[Way == Direction::Forward ? 0 : 1] = true;
        (Way == Direction::Forward ? forward_ : reverse_) = factorise(reading<Way>(substring_));
    }
    const auto hay = reading<Way>(Text(string_.data() + front_, back_ - front_));
    const std::size_t at =
        m == 1 ? find_byte(hay, static_cast<unsigned char>(substring_[0]))
               : two_way_find(hay, reading<Way>(substring_),
                              Way == Direction::Forward ? forward_ : reverse_, byte_mask_, filter_);
    if (at == kNoPosition) {
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
template <Direction Way>
std::optional<std::size_t> MatchScanner::next_boundary() noexcept {
    if (finished_) {
        return std::nullopt;
    }
    if constexpr (Way == Direction::Forward) {
        if (front_pending_) {
            front_pending_ = false;
            return front_;
        }
        if (front_ == string_.size()) {
            finished_ = true;
            return std::nullopt;
        }
        front_ += code_point_length(string_[front_]);
        return front_;
    } else {
        if (back_pending_) {
            back_pending_ = false;
            return back_;
        }
        if (back_ == 0) {
            finished_ = true;
            return std::nullopt;
        }
        do {
            --back_;
        } while (back_ != 0 && is_continuation_byte(string_[back_]));
        return back_;
    }
}

std::optional<std::size_t> MatchScanner::next_forward() noexcept {
    return substring_.empty() ? next_boundary<Direction::Forward>()
                              : next_match<Direction::Forward>();
}

std::optional<std::size_t> MatchScanner::next_reverse() noexcept {
    return substring_.empty() ? next_boundary<Direction::Reverse>()
                              : next_match<Direction::Reverse>();
}

}  // namespace ostrel::text
