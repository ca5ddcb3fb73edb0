// Fuzzes MatchScanner and match_indices at every vector width this CPU
// runs, over the UTF-8, the UTF-16 and the Latin-1 form of each input,
// against repeated find/rfind. The
// first input byte sets the needle's length (0 to 63 bytes); the needle
// follows it and the haystack is the rest. Inputs that are not valid UTF-8
// are skipped, since the module only ever searches valid text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../tests/cpp/text_oracles.h"
#include "platform/vector_width.h"
#include "text/kernels.h"
#include "text/match_functions.h"
#include "text/match_scanner.h"

namespace {

using ostrel::text::Direction;
using ostrel::text::IndexList;
using ostrel::text::IndexUnit;
using ostrel::text::Latin1;
using ostrel::text::MatchScanner;
using ostrel::text::Utf16;
using ostrel::text::Utf8;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// All starts of one scan; an exhausted scanner must stay exhausted.
template <typename Encoding, Direction Way>
std::vector<std::size_t> scan(ostrel::text::Units<Encoding> hay,
                              ostrel::text::Units<Encoding> needle) {
    MatchScanner<Encoding, Way> scanner(hay, needle);
    std::vector<std::size_t> found;
    while (const auto start = scanner.next()) {
        found.push_back(*start);
    }
    require(!scanner.next());
    return found;
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

// Every check of one input at the width in use.
void check(std::string_view hay, std::string_view needle);

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

    for (const auto width :
         {ostrel::platform::VectorWidth::Plain, ostrel::platform::VectorWidth::Bytes16,
          ostrel::platform::VectorWidth::Bytes32, ostrel::platform::VectorWidth::Bytes64}) {
        if (!ostrel::platform::width_runs_here(width)) continue;
        ostrel::text::use_width(width);
        check(hay, needle);
    }
    return 0;
}

namespace {

void check(std::string_view hay, std::string_view needle) {
    const auto forward = text_oracles::naive_forward(hay, needle);
    const auto reverse = text_oracles::naive_reverse(hay, needle);
    require(scan<Utf8, Direction::Forward>(hay, needle) == forward);
    require(scan<Utf8, Direction::Reverse>(hay, needle) == reverse);
    const std::u16string hay16 = text_oracles::to_utf16(hay);
    const std::u16string needle16 = text_oracles::to_utf16(needle);
    require(scan<Utf16, Direction::Forward>(hay16, needle16) ==
            text_oracles::naive_forward<char16_t>(hay16, needle16));
    require(scan<Utf16, Direction::Reverse>(hay16, needle16) ==
            text_oracles::naive_reverse<char16_t>(hay16, needle16));

    // Every unit and direction, from the UTF-8, the UTF-16 and (where there
    // is one) the Latin-1 form.
    const auto hay1 = text_oracles::to_latin1(hay);
    const auto needle1 = text_oracles::to_latin1(needle);
    const auto table = text_oracles::index_table(hay);
    const std::pair<IndexUnit, IndexList> expected[] = {
        {IndexUnit::Byte, forward},
        {IndexUnit::Byte, reverse},
        {IndexUnit::CodePoint, converted(forward, table.code_point)},
        {IndexUnit::CodePoint, converted(reverse, table.code_point)},
        {IndexUnit::Utf16, converted(forward, table.utf16)},
        {IndexUnit::Utf16, converted(reverse, table.utf16)}};
    for (std::size_t k = 0; k < std::size(expected); ++k) {
        const Direction direction = k % 2 == 0 ? Direction::Forward : Direction::Reverse;
        // A UTF-8 text is only ever searched for byte offsets.
        if (expected[k].first == IndexUnit::Byte) {
            require(match_indices<Utf8>(hay, needle, expected[k].first, direction) ==
                    expected[k].second);
        }
        require(match_indices<Utf16>(hay16, needle16, expected[k].first, direction) ==
                expected[k].second);
        if (hay1 && needle1) {
            require(match_indices<Latin1>(*hay1, *needle1, expected[k].first, direction) ==
                    expected[k].second);
        }
    }
}

}  // namespace
