// Fuzzes count_code_points, count_utf16_units, utf16len and IndexCursor on
// valid UTF-8, and the same counts over its UTF-16 form, against indices
// from a full decode. The input is the text;
// its own bytes decide which boundaries the cursors skip and which ranges
// are counted, so every input checks a different walk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "../tests/cpp/text_oracles.h"
#include "fault/fault.h"
#include "text/index_units.h"

namespace {

using ostrel::text::IndexCursor;
using ostrel::text::IndexUnit;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!text_oracles::decode_utf8(text)) {
        return -1;
    }
    const auto table = text_oracles::index_table(text);
    std::vector<std::size_t> boundaries;
    for (std::size_t offset = 0; offset <= size; ++offset) {
        require(ostrel::text::is_code_point_boundary(text, offset) ==
                table.code_point[offset].has_value());
        if (table.code_point[offset]) {
            boundaries.push_back(offset);
        }
    }
    require(ostrel::text::utf16len(text) == *table.utf16[size]);

    IndexCursor<ostrel::text::Utf8> points(text, IndexUnit::CodePoint);
    IndexCursor<ostrel::text::Utf8> units(text, IndexUnit::Utf16);
    for (std::size_t k = 0; k < boundaries.size(); ++k) {
        const std::size_t offset = boundaries[k];
        // Skip some boundaries and repeat others, as match starts would.
        const std::uint8_t choice = offset < size ? data[offset] : 0;
        if (choice % 3 == 0 && offset != size) {
            continue;
        }
        const std::size_t repeats = choice % 5 == 0 ? 2 : 1;
        for (std::size_t r = 0; r < repeats; ++r) {
            require(points.advance(offset) == *table.code_point[offset]);
            require(units.advance(offset) == *table.utf16[offset]);
        }
        // A range from this boundary to one chosen further on.
        const std::size_t to = boundaries[k + choice % (boundaries.size() - k)];
        require(ostrel::text::count_code_points(text, offset, to) ==
                *table.code_point[to] - *table.code_point[offset]);
        require(ostrel::text::count_utf16_units(text, offset, to) ==
                *table.utf16[to] - *table.utf16[offset]);
    }

    // The UTF-16 form: code points and UTF-8 bytes counted from its units.
    const std::u16string units16 = text_oracles::to_utf16(text);
    const std::vector<std::size_t> at16 = text_oracles::boundaries(std::u16string_view(units16));
    IndexCursor<ostrel::text::Utf16> points16(units16, IndexUnit::CodePoint);
    IndexCursor<ostrel::text::Utf16> bytes16(units16, IndexUnit::Byte);
    for (std::size_t k = 0; k < at16.size(); k += 1 + (k < size ? data[k] % 4 : 0)) {
        require(points16.advance(at16[k]) == k);
        require(bytes16.advance(at16[k]) == boundaries[k]);
        require(ostrel::text::count_code_points(std::u16string_view(units16), 0, at16[k]) == k);
    }

    // Going back, or landing inside a code point, must be refused.
    if (boundaries.size() >= 2) {
        IndexCursor<ostrel::text::Utf8> cursor(text, IndexUnit::CodePoint);
        cursor.advance(boundaries[1]);
        bool refused = false;
        try {
            cursor.advance(boundaries[0]);
        } catch (const ostrel::InternalFault&) {
            refused = true;
        }
        require(refused);
    }
    return 0;
}
