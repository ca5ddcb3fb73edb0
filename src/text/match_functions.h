// The logic behind the six matching functions of the module: the start
// positions of the disjoint matches of a substring in a string, scanned
// from the front or from the back, in bytes, code points or UTF-16 units,
// over a string held as UTF-8, UTF-16 or Latin-1.
#pragma once

#include "text/index_units.h"
#include "text/unit_reading.h"  // Direction

#include <cstddef>
#include <vector>

namespace ostrel::text {

using IndexList = std::vector<std::size_t>;

// Ascending for Forward, descending for Reverse. Allocates nothing when
// there is no match; the list starts with room for 4 entries and doubles.
// Throws std::bad_alloc when memory runs out and ostrel::InternalFault if an
// index conversion is refused (match starts never are) or a UTF-8 text is
// asked for other than byte offsets (its callers convert such strs to
// UTF-16 or Latin-1 instead).
// Cost: O(n + m) for the search plus O(n) for the whole index conversion.
// Both texts are held in Encoding.
template <typename Encoding>
IndexList match_indices(Units<Encoding> string, Units<Encoding> substring, IndexUnit unit,
                        Direction direction);

extern template IndexList match_indices<Utf8>(Text, Text, IndexUnit, Direction);
extern template IndexList match_indices<Utf16>(Utf16Text, Utf16Text, IndexUnit, Direction);
extern template IndexList match_indices<Latin1>(Latin1Text, Latin1Text, IndexUnit, Direction);

}  // namespace ostrel::text
