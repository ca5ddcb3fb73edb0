// The text kernels at 16 bytes a step.
// 16-byte vectors: the build's baseline instruction set (SSE2 on x86-64,
// NEON on AArch64, plain words elsewhere).
#include "text/kernel_table.h"

namespace ostrel::text {

extern const TextKernels kernels_16;
constinit const TextKernels kernels_16 =
    KernelsAt<platform::Bytes16>::table(platform::VectorWidth::Bytes16);

}  // namespace ostrel::text
