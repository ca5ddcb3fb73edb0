// Slow, obviously correct references for the text core, shared by the unit
// tests and the fuzz targets: a strict UTF-8 validator and decoder, index
// conversion by full decoding, UTF-16 by decoding, and disjoint search by
// repeated find/rfind in either encoding.
// None of it reuses the code under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace text_oracles {

struct DecodedCodePoint {
    std::size_t offset;  // byte offset of its first byte
    char32_t value;
};

// The code points of bytes, or nothing when bytes are not valid UTF-8
// (overlong forms, surrogates, values above U+10FFFF, truncation).
inline std::optional<std::vector<DecodedCodePoint>> decode_utf8(std::string_view bytes) {
    std::vector<DecodedCodePoint> out;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        std::size_t length = 0;
        char32_t value = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1, value = lead, minimum = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, value = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, value = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, value = lead & 0x07, minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (bytes.size() - at < length) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[at + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            value = (value << 6) | (next & 0x3F);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return std::nullopt;
        }
        out.push_back({at, value});
        at += length;
    }
    return out;
}

// Index of every byte offset of a valid text in code points and in UTF-16
// units, by decoding; entries at offsets inside a code point are absent.
struct IndexTable {
    std::vector<std::optional<std::size_t>> code_point;
    std::vector<std::optional<std::size_t>> utf16;
};

inline IndexTable index_table(std::string_view text) {
    const auto decoded = decode_utf8(text).value();  // callers pass valid UTF-8
    IndexTable table{std::vector<std::optional<std::size_t>>(text.size() + 1),
                     std::vector<std::optional<std::size_t>>(text.size() + 1)};
    std::size_t points = 0;
    std::size_t units = 0;
    for (const DecodedCodePoint& point : decoded) {
        table.code_point[point.offset] = points;
        table.utf16[point.offset] = units;
        points += 1;
        units += point.value >= 0x10000 ? 2 : 1;
    }
    table.code_point[text.size()] = points;
    table.utf16[text.size()] = units;
    return table;
}

// The UTF-16 form of valid UTF-8, by decoding, with pairs built by hand.
inline std::u16string to_utf16(std::string_view bytes) {
    std::u16string out;
    const auto decoded = decode_utf8(bytes).value();  // callers pass valid UTF-8
    for (const DecodedCodePoint& point : decoded) {
        if (point.value < 0x10000) {
            out.push_back(static_cast<char16_t>(point.value));
        } else {
            const char32_t above = point.value - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (above >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (above & 0x3FF)));
        }
    }
    return out;
}

// The Latin-1 form of valid UTF-8, or nothing when it holds a code point
// above U+00FF.
inline std::optional<std::string> to_latin1(std::string_view bytes) {
    std::string out;
    const auto decoded = decode_utf8(bytes).value();
    for (const DecodedCodePoint& point : decoded) {
        if (point.value > 0xFF) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(point.value));
    }
    return out;
}

// The UTF-8 form of Latin-1 text.
inline std::string to_utf8_from_latin1(std::string_view latin1) {
    std::string out;
    for (const char byte : latin1) {
        const auto value = static_cast<unsigned char>(byte);
        if (value < 0x80) {
            out.push_back(byte);
        } else {
            out.push_back(static_cast<char>(0xC0 | (value >> 6)));
            out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        }
    }
    return out;
}

// The offsets of every code-point boundary, 0 and the end included.
inline std::vector<std::size_t> boundaries(std::string_view bytes) {
    std::vector<std::size_t> out;
    const auto decoded = decode_utf8(bytes).value();
    for (const DecodedCodePoint& point : decoded) {
        out.push_back(point.offset);
    }
    out.push_back(bytes.size());
    return out;
}
inline std::vector<std::size_t> boundaries(std::u16string_view units) {
    std::vector<std::size_t> out;
    for (std::size_t at = 0; at < units.size(); ++at) {
        if (units[at] < 0xDC00 || units[at] > 0xDFFF) {
            out.push_back(at);
        }
    }
    out.push_back(units.size());
    return out;
}

// Disjoint matches by repeated find from the front; the empty needle
// matches at every code-point boundary.
template <typename Unit>
std::vector<std::size_t> naive_forward(std::basic_string_view<Unit> hay,
                                       std::basic_string_view<Unit> needle) {
    if (needle.empty()) {
        return boundaries(hay);
    }
    std::vector<std::size_t> out;
    for (std::size_t at = hay.find(needle); at != hay.npos;
         at = hay.find(needle, at + needle.size())) {
        out.push_back(at);
    }
    return out;
}

// Disjoint matches by repeated rfind, each ending at or before the start of
// the previous one.
template <typename Unit>
std::vector<std::size_t> naive_reverse(std::basic_string_view<Unit> hay,
                                       std::basic_string_view<Unit> needle) {
    if (needle.empty()) {
        std::vector<std::size_t> out = boundaries(hay);
        return {out.rbegin(), out.rend()};
    }
    std::vector<std::size_t> out;
    std::size_t end = hay.size();
    while (end >= needle.size()) {
        const std::size_t at = hay.rfind(needle, end - needle.size());
        if (at == hay.npos) {
            break;
        }
        out.push_back(at);
        end = at;
    }
    return out;
}

// Every string made of exactly `length` letters, in a fixed order.
inline std::vector<std::string> all_words(const std::vector<std::string>& letters,
                                          std::size_t length) {
    std::vector<std::string> words{""};
    for (std::size_t step = 0; step < length; ++step) {
        std::vector<std::string> longer;
        for (const std::string& word : words) {
            for (const std::string& letter : letters) {
                longer.push_back(word + letter);
            }
        }
        words.swap(longer);
    }
    return words;
}

// A random word of `length` letters.
inline std::string random_word(std::mt19937_64& random, const std::vector<std::string>& letters,
                               std::size_t length) {
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    std::string word;
    for (std::size_t k = 0; k < length; ++k) {
        word += letters[pick(random)];
    }
    return word;
}

}  // namespace text_oracles
