// Fuzzes the UTF-16 and Latin-1 counts and IndexCursor at every vector
// width this CPU runs, against indices from a full decode of valid UTF-8.
// The input is the text (in its UTF-16 form, and its Latin-1 form where it
// has one); its own bytes decide which boundaries the cursors skip and
// which ranges are counted, so every input checks a different walk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "../tests/cpp/text_oracles.h"
#include "fault/fault.h"
#include "platform/vector_width.h"
#include "text/index_units.h"
#include "text/kernels.h"

namespace {

using ostrel::platform::VectorWidth;
using ostrel::text::IndexCursor;
using ostrel::text::IndexUnit;
using ostrel::text::Latin1;
using ostrel::text::Utf16;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void check(const std::uint8_t* data, std::size_t size, std::string_view text) {
    const auto table = text_oracles::index_table(text);
    const std::vector<std::size_t> bytes_at = text_oracles::boundaries(text);
    const std::u16string units = text_oracles::to_utf16(text);
    const std::vector<std::size_t> at16 = text_oracles::boundaries(std::u16string_view(units));
    IndexCursor<Utf16> points(units, IndexUnit::CodePoint);
    IndexCursor<Utf16> bytes(units, IndexUnit::Byte);
    for (std::size_t k = 0; k < at16.size(); ++k) {
        // Skip some boundaries and repeat others, as match starts would.
        const std::uint8_t choice = k < size ? data[k] : 0;
        if (choice % 3 == 0 && k + 1 != at16.size()) continue;
        for (std::size_t r = 0; r < (choice % 5 == 0 ? 2u : 1u); ++r) {
            require(points.advance(at16[k]) == k);
            require(bytes.advance(at16[k]) == bytes_at[k]);
        }
        // A range from this boundary to one chosen further on.
        const std::size_t to = k + choice % (at16.size() - k);
        const std::u16string_view view(units);
        require(ostrel::text::count_code_points(view, at16[k], at16[to]) == to - k);
        require(ostrel::text::count_utf8_bytes(view, at16[k], at16[to]) ==
                bytes_at[to] - bytes_at[k]);
    }
    require(*table.utf16[text.size()] == units.size());

    // Latin-1: every offset is a code point; bytes from 0x80 take two.
    if (const auto latin1 = text_oracles::to_latin1(text)) {
        IndexCursor<Latin1> utf8(*latin1, IndexUnit::Byte);
        for (std::size_t k = 0; k <= latin1->size(); k += 1 + (k < size ? data[k] % 4 : 0))
            require(utf8.advance(k) == bytes_at[k]);
    }

    // Going back, or landing inside a code point, must be refused.
    if (at16.size() >= 2) {
        IndexCursor<Utf16> cursor(units, IndexUnit::CodePoint);
        cursor.advance(at16[1]);
        bool refused = false;
        try {
            cursor.advance(at16[0]);
        } catch (const ostrel::InternalFault&) {
            refused = true;
        }
        require(refused);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!text_oracles::decode_utf8(text)) {
        return -1;
    }
    for (const VectorWidth width :
         {VectorWidth::Plain, VectorWidth::Bytes16, VectorWidth::Bytes32, VectorWidth::Bytes64}) {
        if (!ostrel::platform::width_runs_here(width)) continue;
        ostrel::text::use_width(width);
        check(data, size, text);
    }
    return 0;
}
