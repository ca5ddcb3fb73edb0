// The kernel tables of the widths this build holds, and the one in use.
#include "text/kernels.h"

namespace ostrel::text {

extern const TextKernels kernels_plain;
extern const TextKernels kernels_16;
#if OSTREL_BUILD_WIDTH_32
extern const TextKernels kernels_32;
#endif
#if OSTREL_BUILD_WIDTH_64
extern const TextKernels kernels_64;
#endif

const TextKernels* active_kernels = &kernels_16;

const TextKernels& kernels_of(platform::VectorWidth width) noexcept {
    switch (width) {
        case platform::VectorWidth::Plain: return kernels_plain;
        case platform::VectorWidth::Bytes16: return kernels_16;
#if OSTREL_BUILD_WIDTH_32
        case platform::VectorWidth::Bytes32: return kernels_32;
#endif
#if OSTREL_BUILD_WIDTH_64
        case platform::VectorWidth::Bytes64: return kernels_64;
#endif
        default: break;
    }
    return kernels_16;
}

void use_width(platform::VectorWidth width) noexcept {
    active_kernels = &kernels_of(width);
}

}  // namespace ostrel::text
