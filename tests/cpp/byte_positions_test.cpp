// byte_positions against a naive search: every length around the 16-byte
// steps, every offset of the string in memory, bytes with the top bit set,
// and runs long enough that the per-lane hit counts must be folded.
#include "text/byte_positions.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text_oracles.h"

namespace {

using ostrel::text::byte_positions;

TEST(BytePositions, SeededTextsAgreeWithNaiveSearch) {
    const std::uint64_t seed = 24681357;
    std::mt19937_64 random(seed);
    const std::string alphabet("ab\0\x80\xff", 5);
    std::uniform_int_distribution<std::size_t> letter(0, alphabet.size() - 1);
    for (std::size_t size = 0; size < 300; ++size) {
        // A padded buffer, read from every offset of its first 16 bytes.
        std::string buffer(size + 16, 'a');
        for (char& byte : buffer) byte = alphabet[letter(random)];
        for (std::size_t shift = 0; shift < 16; ++shift) {
            const std::string_view string(buffer.data() + shift, size);
            for (const char byte : alphabet) {
                EXPECT_EQ(byte_positions(string, static_cast<unsigned char>(byte)),
                          text_oracles::naive_forward(string, std::string_view(&byte, 1)))
                    << "seed " << seed << " size " << size << " shift " << shift << " byte "
                    << static_cast<int>(static_cast<unsigned char>(byte));
            }
        }
    }
}

TEST(BytePositions, LongRunsCountEveryHit) {
    // Lane counts are folded every 31 blocks of 16 bytes; these runs pass
    // that many times over, with and without a tail.
    for (const std::size_t size : {4080u, 4081u, 5000u, 65536u + 7u}) {
        const std::string run(size, 'e');
        const std::vector<std::size_t> positions = byte_positions(run, 'e');
        ASSERT_EQ(positions.size(), size);
        EXPECT_EQ(positions.capacity(), size);
        for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(positions[i], i);
        EXPECT_TRUE(byte_positions(run, 'f').empty());
        EXPECT_EQ(byte_positions(run, 'f').capacity(), 0u);
    }
}

}  // namespace
