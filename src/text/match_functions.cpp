// One driver for all six matching functions over either encoding: a
// MatchScanner finds starts in the held unit in the requested direction,
// and an IndexCursor converts them into the requested unit. The cursor only
// moves forward, so reverse scans convert their starts from the last found
// (the lowest) up, in place.
#include "text/match_functions.h"

#include "text/byte_positions.h"
#include "text/match_scanner.h"

#include "fault/fault.h"

#include <algorithm>
#include <type_traits>

namespace ostrel::text {

namespace {

// The first allocation holds a few matches, as most calls find few; then
// the list doubles, so n matches cost O(n) copying in all.
constexpr std::size_t first_capacity = 4;

// Grows the list explicitly rather than trusting the library's policy: no
// allocation before the first entry, room for 4 then, doubled when full.
void append(IndexList& list, std::size_t value) {
    if (list.size() == list.capacity()) {
        list.reserve(list.empty() ? first_capacity : 2 * list.capacity());
    }
    list.push_back(value);
}

// Every start in scanning order, each passed through convert as it comes.
template <typename Encoding, Direction Way, typename Convert>
IndexList collect(Units<Encoding> string, Units<Encoding> substring, Convert convert) {
    MatchScanner<Encoding, Way> scanner(string, substring);
    IndexList list;
    while (const std::optional<std::size_t> start = scanner.next()) {
        append(list, convert(*start));
    }
    return list;
}

// The starts converted by an IndexCursor into unit, which is not the
// encoding's own.
template <typename Encoding>
IndexList converted(Units<Encoding> string, Units<Encoding> substring, IndexUnit unit,
                    Direction direction) {
    const auto same = [](std::size_t start) { return start; };
    IndexCursor<Encoding> cursor(string, unit);
    if (direction == Direction::Forward) {
        // Converting during the scan reads each unit of string at most once,
        // however many matches there are.
        return collect<Encoding, Direction::Forward>(
            string, substring, [&cursor](std::size_t start) { return cursor.advance(start); });
    }
    // The reverse scan yields descending starts, which the cursor cannot
    // take: the list is converted from its end (the lowest start) back to
    // its front, each entry replaced by its index.
    IndexList list = collect<Encoding, Direction::Reverse>(string, substring, same);
    for (auto entry = list.rbegin(); entry != list.rend(); ++entry) {
        *entry = cursor.advance(*entry);
    }
    return list;
}

}  // namespace

template <typename Encoding>
IndexList match_indices(Units<Encoding> string, Units<Encoding> substring, IndexUnit unit,
                        Direction direction) {
    const auto same = [](std::size_t start) { return start; };
    if constexpr (sizeof(typename Encoding::Unit) == 1) {
        // A one-byte substring's matches cannot overlap: one counting pass
        // finds them all, with no search per match.
        if (Encoding::counts_as(unit) && substring.size() == 1) {
            IndexList starts = byte_positions(string, static_cast<unsigned char>(substring[0]));
            if (direction == Direction::Reverse) std::reverse(starts.begin(), starts.end());
            return starts;
        }
    }
    if (Encoding::counts_as(unit)) {
        return direction == Direction::Forward
                   ? collect<Encoding, Direction::Forward>(string, substring, same)
                   : collect<Encoding, Direction::Reverse>(string, substring, same);
    }
    if constexpr (std::is_same_v<Encoding, Utf8>) {
        // Code points and UTF-16 units are counted in the other encodings.
        raise_fault("a UTF-8 text was searched for other than byte offsets");
    } else {
        return converted<Encoding>(string, substring, unit, direction);
    }
}

template IndexList match_indices<Utf8>(Text, Text, IndexUnit, Direction);
template IndexList match_indices<Utf16>(Utf16Text, Utf16Text, IndexUnit, Direction);
template IndexList match_indices<Latin1>(Latin1Text, Latin1Text, IndexUnit, Direction);

}  // namespace ostrel::text
