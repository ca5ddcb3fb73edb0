// Every offset of one byte in a Text: the matches of a one-byte substring,
// which can never overlap, found in one pass over the string instead of one
// search per match.
#pragma once

#include <cstddef>
#include <vector>

#include "text/index_units.h"

namespace ostrel::text {

// Ascending offsets of `byte` in string. The bytes are counted first, so the
// list is allocated once at its exact size (nothing when there is none).
// Cost: two passes over string, a vector of the width in use a step.
std::vector<std::size_t> byte_positions(Text string, unsigned char byte);

}  // namespace ostrel::text
