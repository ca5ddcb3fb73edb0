// One-byte positions: a counting pass sizes the list, a second pass fills
// it, both run at the vector width in use (text/byte_kernels.h).
#include "text/byte_positions.h"

#include "text/kernels.h"

namespace ostrel::text {

std::vector<std::size_t> byte_positions(Text string, unsigned char byte) {
    // A short string is listed in one pass into a buffer that holds a hit
    // for each of its bytes, then copied into a list of the exact size.
    constexpr std::size_t short_string = 64;
    const auto* data = reinterpret_cast<const unsigned char*>(string.data());
    const TextKernels& run = kernels();
    if (string.size() <= short_string) {
        std::size_t buffer[short_string];
        const std::size_t count = run.list_byte(data, string.size(), byte, buffer);
        return std::vector<std::size_t>(buffer, buffer + count);
    }
    std::vector<std::size_t> positions;
    const std::size_t count = run.count_byte(data, string.size(), byte);
    if (count == 0) return positions;
    positions.reserve(count);
    positions.resize(count);
    run.list_byte(data, string.size(), byte, positions.data());
    return positions;
}

}  // namespace ostrel::text
