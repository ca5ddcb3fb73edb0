// Fuzzes MatchScanner and match_indices against repeated find/rfind. The
// first input byte sets the needle's length (0 to 63 bytes); the needle
// follows it and the haystack is the rest. Inputs that are not valid UTF-8
// are skipped, since the module only ever searches valid text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "../tests/cpp/text_oracles.h"
#include "text/match_functions.h"
#include "text/match_scanner.h"

namespace {

using ostrel::text::Direction;
using ostrel::text::IndexList;
using ostrel::text::IndexUnit;
using ostrel::text::MatchScanner;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

IndexList converted(const std::vector<std::size_t>& starts,
                    const std::vector<std::optional<std::size_t>>& table) {
    IndexList out;
    for (const std::size_t start : starts) {
        require(table.at(start).has_value());
        out.push_back(*table[start]);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t needle_size = std::min<std::size_t>(data[0] & 63, rest.size());
    const std::string_view needle = rest.substr(0, needle_size);
    const std::string_view hay = rest.substr(needle_size);
    if (!text_oracles::decode_utf8(needle) || !text_oracles::decode_utf8(hay)) {
        return -1;  // keeps invalid inputs out of the corpus
    }

    const auto forward = text_oracles::naive_forward(hay, needle);
    const auto reverse = text_oracles::naive_reverse(hay, needle);
    MatchScanner forward_scanner(hay, needle);
    std::vector<std::size_t> found;
    while (const auto start = forward_scanner.next_forward()) {
        found.push_back(*start);
    }
    require(found == forward);
    require(!forward_scanner.next_forward());
    MatchScanner reverse_scanner(hay, needle);
    found.clear();
    while (const auto start = reverse_scanner.next_reverse()) {
        found.push_back(*start);
    }
    require(found == reverse);
    require(!reverse_scanner.next_reverse());

    const auto table = text_oracles::index_table(hay);
    require(match_indices(hay, needle, IndexUnit::Byte, Direction::Forward) == forward);
    require(match_indices(hay, needle, IndexUnit::Byte, Direction::Reverse) == reverse);
    require(match_indices(hay, needle, IndexUnit::CodePoint, Direction::Forward) ==
            converted(forward, table.code_point));
    require(match_indices(hay, needle, IndexUnit::CodePoint, Direction::Reverse) ==
            converted(reverse, table.code_point));
    require(match_indices(hay, needle, IndexUnit::Utf16, Direction::Forward) ==
            converted(forward, table.utf16));
    require(match_indices(hay, needle, IndexUnit::Utf16, Direction::Reverse) ==
            converted(reverse, table.utf16));
    return 0;
}
