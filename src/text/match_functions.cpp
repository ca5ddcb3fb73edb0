// One driver for all six matching functions: a MatchScanner finds byte
// starts in the requested direction, and an IndexCursor converts them into
// code points or UTF-16 units. The cursor only moves forward, so reverse
// scans convert their starts in ascending order and reverse the result.
#include "text/match_functions.h"

#include <algorithm>

#include "text/byte_positions.h"

namespace ostrel::text {

namespace {

constexpr std::size_t kFirstCapacity = 4;

// Grows the list explicitly rather than trusting the library's policy: no
// allocation before the first entry, room for 4 then, doubled when full.
void append(IndexList& list, std::size_t value) {
    if (list.size() == list.capacity()) {
        list.reserve(list.empty() ? kFirstCapacity : 2 * list.capacity());
    }
    list.push_back(value);
}

template <Direction Way>
std::optional<std::size_t> next_start(MatchScanner& scanner) noexcept {
    if constexpr (Way == Direction::Forward) {
        return scanner.next_forward();
    } else {
        return scanner.next_reverse();
    }
}

// Every start in scanning order, each passed through convert as it comes.
template <Direction Way, typename Convert>
IndexList collect(Text string, Text substring, Convert convert) {
    MatchScanner scanner(string, substring);
    IndexList list;
    while (const std::optional<std::size_t> start = next_start<Way>(scanner)) {
        append(list, convert(*start));
    }
    return list;
}

IndexList byte_starts(Text string, Text substring, Direction direction) {
    if (substring.size() == 1) {
        IndexList starts = byte_positions(string, static_cast<unsigned char>(substring[0]));
        if (direction == Direction::Reverse) std::reverse(starts.begin(), starts.end());
        return starts;
    }
    const auto same = [](std::size_t start) { return start; };
    return direction == Direction::Forward ? collect<Direction::Forward>(string, substring, same)
                                           : collect<Direction::Reverse>(string, substring, same);
}

// Converting during the forward scan reads each byte of string at most
// once, however many matches there are.
IndexList forward_indices(Text string, Text substring, IndexUnit unit) {
    IndexCursor cursor(string, unit);
    return collect<Direction::Forward>(
        string, substring, [&cursor](std::size_t start) { return cursor.advance(start); });
}

// The reverse scan yields descending starts, which the cursor cannot take;
// they are kept, converted from the last (lowest) one up, and reversed.
IndexList reverse_indices(Text string, Text substring, IndexUnit unit) {
    const IndexList starts = byte_starts(string, substring, Direction::Reverse);
    IndexList indices;
    indices.reserve(starts.size());  // exact size; no allocation when empty
    IndexCursor cursor(string, unit);
    for (auto start = starts.rbegin(); start != starts.rend(); ++start) {
        indices.push_back(cursor.advance(*start));
    }
    std::reverse(indices.begin(), indices.end());
    return indices;
}

}  // namespace

IndexList match_indices(Text string, Text substring, IndexUnit unit, Direction direction) {
    if (unit == IndexUnit::Byte) {
        return byte_starts(string, substring, direction);
    }
    return direction == Direction::Forward ? forward_indices(string, substring, unit)
                                           : reverse_indices(string, substring, unit);
}

}  // namespace ostrel::text
