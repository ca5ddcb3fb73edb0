// The text kernels at 32 bytes a step.
// 32-byte vectors. The build compiles this file alone for AVX2 (CMakeLists.txt);
// nothing here runs unless the CPU has it.
#include "text/kernel_table.h"

#if OSTREL_BUILD_WIDTH_32
namespace ostrel::text {

extern const TextKernels kernels_32;
constinit const TextKernels kernels_32 =
    KernelsAt<platform::Bytes32>::table(platform::VectorWidth::Bytes32);

}  // namespace ostrel::text
#endif
