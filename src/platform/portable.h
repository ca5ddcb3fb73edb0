// The few pieces of the build that are GNU extensions, each chosen here
// against a plain C++ fallback. Detection picks the extension where the
// toolchain has it; defining OSTREL_PORTABLE (the CMake option of that
// name) forces every fallback, so that they are built and tested on the
// machines we have. The linker's version script, the fourth such piece, is
// chosen in CMakeLists.txt. Plain C++ that includes nothing of the module.
#pragma once

#include <cstddef>
#include <cstring>

// memrchr: glibc declares it under _GNU_SOURCE, which g++ and clang++
// define for libstdc++'s sake.
#if !defined(OSTREL_PORTABLE) && defined(__GLIBC__) && defined(_GNU_SOURCE)
#define OSTREL_HAVE_MEMRCHR 1
#else
#define OSTREL_HAVE_MEMRCHR 0
#endif

// Vector extensions: GCC's and Clang's vector_size types, with lane-wise
// ==, & and [].
#if !defined(OSTREL_PORTABLE) && (defined(__GNUC__) || defined(__clang__))
#define OSTREL_HAVE_VECTOR_EXTENSIONS 1
#else
#define OSTREL_HAVE_VECTOR_EXTENSIONS 0
#endif

// Initial-exec TLS: an ELF model (GCC and Clang spell it as an attribute)
// that spares each access a __tls_get_addr call. Elsewhere the variable
// keeps the toolchain's default model.
#if !defined(OSTREL_PORTABLE) && defined(__ELF__) && defined(__has_cpp_attribute)
#if __has_cpp_attribute(gnu::tls_model)
#define OSTREL_TLS_INITIAL_EXEC [[gnu::tls_model("initial-exec")]]
#endif
#endif
#ifndef OSTREL_TLS_INITIAL_EXEC
#define OSTREL_TLS_INITIAL_EXEC
#endif

namespace ostrel::platform {

// The last byte equal to `byte` in [data, data + size), or nullptr.
inline const void* memrchr(const void* data, unsigned char byte, std::size_t size) noexcept {
#if OSTREL_HAVE_MEMRCHR
    return ::memrchr(data, byte, size);
#else
    const auto* first = static_cast<const unsigned char*>(data);
    for (const unsigned char* at = first + size; at != first;) {
        if (*--at == byte) return at;
    }
    return nullptr;
#endif
}

#if OSTREL_HAVE_VECTOR_EXTENSIONS
// Sixteen bytes as one vector: SSE2 on x86-64, NEON on AArch64, plain word
// operations where there is no vector unit.
using Bytes16 = unsigned char __attribute__((vector_size(16)));
#else
// Sixteen bytes with the vector type's lane-wise operations: == gives 0xFF
// in equal lanes and 0 elsewhere (the bytes of the vector compare's -1),
// & combines two such masks. Compilers vectorise the loops where they can.
struct Bytes16 {
    unsigned char lane[16] = {};

    unsigned char& operator[](std::size_t k) noexcept { return lane[k]; }
    unsigned char operator[](std::size_t k) const noexcept { return lane[k]; }

    friend Bytes16 operator==(const Bytes16& a, const Bytes16& b) noexcept {
        Bytes16 mask;
        for (std::size_t k = 0; k < 16; ++k) mask.lane[k] = a.lane[k] == b.lane[k] ? 0xFF : 0;
        return mask;
    }
    friend Bytes16 operator&(const Bytes16& a, const Bytes16& b) noexcept {
        Bytes16 both;
        for (std::size_t k = 0; k < 16; ++k) both.lane[k] = a.lane[k] & b.lane[k];
        return both;
    }
};
#endif
static_assert(sizeof(Bytes16) == 16);

}  // namespace ostrel::platform
