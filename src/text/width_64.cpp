// The text kernels at 64 bytes a step.
// 64-byte vectors. The build compiles this file alone for AVX-512BW
// (CMakeLists.txt); nothing here runs unless the CPU has it.
#include "text/kernel_table.h"

#if OSTREL_BUILD_WIDTH_64
namespace ostrel::text {

extern const TextKernels kernels_64;
constinit const TextKernels kernels_64 =
    KernelsAt<platform::Bytes64>::table(platform::VectorWidth::Bytes64);

}  // namespace ostrel::text
#endif
