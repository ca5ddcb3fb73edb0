// CPU detection for the vector widths. On x86-64 with GCC or Clang the
// compiler's runtime asks cpuid (and xgetbv, for the operating system's
// support of the wider registers); elsewhere 16 bytes is all there is.
#include "platform/vector_width.h"

namespace ostrel::platform {

namespace {
constexpr bool built_32 = OSTREL_BUILD_WIDTH_32 != 0;
constexpr bool built_64 = OSTREL_BUILD_WIDTH_64 != 0;
}  // namespace

bool width_built(VectorWidth width) noexcept {
    switch (width) {
        case VectorWidth::Plain:
        case VectorWidth::Bytes16: return true;
        case VectorWidth::Bytes32: return built_32;
        case VectorWidth::Bytes64: return built_64;
    }
    return false;
}

bool width_runs_here(VectorWidth width) noexcept {
    if (!width_built(width)) return false;
#if OSTREL_BUILD_WIDTH_32 || OSTREL_BUILD_WIDTH_64
    __builtin_cpu_init();
    switch (width) {
        case VectorWidth::Bytes32: return __builtin_cpu_supports("avx2") != 0;
        case VectorWidth::Bytes64: return __builtin_cpu_supports("avx512bw") != 0;
        default: break;
    }
#endif
    return true;
}

VectorWidth widest_width() noexcept {
    for (const VectorWidth width : {VectorWidth::Bytes64, VectorWidth::Bytes32}) {
        if (width_runs_here(width)) return width;
    }
    return VectorWidth::Bytes16;
}

std::string_view width_name(VectorWidth width) noexcept {
    switch (width) {
        case VectorWidth::Plain: return "plain";
        case VectorWidth::Bytes16: return "16";
        case VectorWidth::Bytes32: return "32";
        case VectorWidth::Bytes64: return "64";
    }
    return "?";
}

std::optional<VectorWidth> parse_width(std::string_view name) noexcept {
    for (const VectorWidth width :
         {VectorWidth::Plain, VectorWidth::Bytes16, VectorWidth::Bytes32, VectorWidth::Bytes64}) {
        if (name == width_name(width)) return width;
    }
    return std::nullopt;
}

}  // namespace ostrel::platform
