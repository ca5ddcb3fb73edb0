// The text kernels in plain C++.
// The portable C++ stand-in for 16-byte vectors, chosen on request.
#include "text/kernel_table.h"

namespace ostrel::text {

extern const TextKernels kernels_plain;
constinit const TextKernels kernels_plain =
    KernelsAt<platform::PlainWidth>::table(platform::VectorWidth::Plain);

}  // namespace ostrel::text
