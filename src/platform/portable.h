// The few pieces of the build that are GNU extensions, each chosen here
// against a plain C++ fallback. CMake tries each piece on the compiler in
// use and passes its answer as OSTREL_HAVE_* (cmake/PlatformChecks.cmake);
// without that answer the detection below decides. Defining OSTREL_PORTABLE
// (the CMake option of that name) forces every fallback, so that they are
// built and tested on the machines we have. The linker's version script is
// chosen in CMakeLists.txt. Plain C++ that includes nothing of the module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// memrchr: glibc declares it under _GNU_SOURCE, which g++ and clang++
// define for libstdc++'s sake.
#ifndef OSTREL_HAVE_MEMRCHR
#if !defined(OSTREL_PORTABLE) && defined(__GLIBC__) && defined(_GNU_SOURCE)
#define OSTREL_HAVE_MEMRCHR 1
#else
#define OSTREL_HAVE_MEMRCHR 0
#endif
#endif

// Vector extensions: GCC's and Clang's vector_size types, with lane-wise
// operators and []; Lanes16 below is the type or its plain C++ stand-in,
// which is built everywhere so that it can also be chosen at run time
// (platform/lanes.h).
#ifndef OSTREL_HAVE_VECTOR_EXTENSIONS
#if !defined(OSTREL_PORTABLE) && (defined(__GNUC__) || defined(__clang__))
#define OSTREL_HAVE_VECTOR_EXTENSIONS 1
#else
#define OSTREL_HAVE_VECTOR_EXTENSIONS 0
#endif
#endif

// x86's pmovmskb (one bit per byte lane), a builtin on the vector type.
#ifndef OSTREL_HAVE_SSE2_MOVEMASK
#if OSTREL_HAVE_VECTOR_EXTENSIONS && defined(__SSE2__)
#define OSTREL_HAVE_SSE2_MOVEMASK 1
#else
#define OSTREL_HAVE_SSE2_MOVEMASK 0
#endif
#endif

// Initial-exec TLS: an ELF model (GCC and Clang spell it as an attribute)
// that spares each access a __tls_get_addr call. Elsewhere the variable
// keeps the toolchain's default model.
#ifndef OSTREL_HAVE_TLS_MODEL
#if !defined(OSTREL_PORTABLE) && defined(__ELF__) && defined(__has_cpp_attribute)
#if __has_cpp_attribute(gnu::tls_model)
#define OSTREL_HAVE_TLS_MODEL 1
#endif
#endif
#endif
#ifndef OSTREL_HAVE_TLS_MODEL
#define OSTREL_HAVE_TLS_MODEL 0
#endif
#if OSTREL_HAVE_TLS_MODEL
#define OSTREL_TLS_INITIAL_EXEC [[gnu::tls_model("initial-exec")]]
#else
#define OSTREL_TLS_INITIAL_EXEC
#endif

// The C++ runtime's per-thread exception state, reached directly through
// the Itanium ABI's __cxa_get_globals where the runtime offers it (GCC's
// and LLVM's libraries); the fallback is a throw caught at once, which
// makes any runtime set up the same state.
#ifndef OSTREL_HAVE_CXA_GLOBALS
#if !defined(OSTREL_PORTABLE) && defined(__has_include) && (defined(__GNUC__) || defined(__clang__))
#if __has_include(<cxxabi.h>)
#define OSTREL_HAVE_CXA_GLOBALS 1
#endif
#endif
#endif
#ifndef OSTREL_HAVE_CXA_GLOBALS
#define OSTREL_HAVE_CXA_GLOBALS 0
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

// Sixteen bytes as lanes of T with the lane-wise operations of the vector
// type that the kernels use: arithmetic and bitwise operators wrap in each
// lane, a scalar operand stands for that value in every lane, and a compare
// gives a lane of the same width with every bit set where it holds and 0
// elsewhere. Compilers vectorise the loops where they can.
template <typename T>
struct Lanes16Fallback {
    static_assert(std::is_integral_v<T> && 16 % sizeof(T) == 0);
    static constexpr std::size_t count = 16 / sizeof(T);
    using Mask = Lanes16Fallback<std::make_signed_t<T> >;

    T lane[count];  // as uninitialised as the vector type

    T& operator[](std::size_t k) noexcept { return lane[k]; }
    T operator[](std::size_t k) const noexcept { return lane[k]; }

    // Op or Test applied to each pair of lanes.
    template <typename Op>
    static Lanes16Fallback each(const Lanes16Fallback& a, const Lanes16Fallback& b,
                                Op op) noexcept {
        Lanes16Fallback out{};
        for (std::size_t k = 0; k < count; ++k)
            out.lane[k] = static_cast<T>(op(a.lane[k], b.lane[k]));
        return out;
    }
    template <typename Test>
    static Mask holds(const Lanes16Fallback& a, const Lanes16Fallback& b, Test test) noexcept {
        Mask out{};
        for (std::size_t k = 0; k < count; ++k) out.lane[k] = test(a.lane[k], b.lane[k]) ? -1 : 0;
        return out;
    }
    static Lanes16Fallback splat(T value) noexcept {
        Lanes16Fallback out{};
        for (T& at : out.lane) at = value;
        return out;
    }

    // Wrapping arithmetic, done in the unsigned type of the lane's width.
    using Wrap = std::make_unsigned_t<T>;
    friend Lanes16Fallback operator+(const Lanes16Fallback& a, const Lanes16Fallback& b) noexcept {
        return each(a, b, [](T x, T y) {
            return static_cast<Wrap>(static_cast<Wrap>(x) + static_cast<Wrap>(y));
        });
    }
    friend Lanes16Fallback operator-(const Lanes16Fallback& a, const Lanes16Fallback& b) noexcept {
        return each(a, b, [](T x, T y) {
            return static_cast<Wrap>(static_cast<Wrap>(x) - static_cast<Wrap>(y));
        });
    }
    friend Lanes16Fallback operator&(const Lanes16Fallback& a, const Lanes16Fallback& b) noexcept {
        return each(a, b, [](T x, T y) { return x & y; });
    }
    friend Lanes16Fallback operator|(const Lanes16Fallback& a, const Lanes16Fallback& b) noexcept {
        return each(a, b, [](T x, T y) { return x | y; });
    }
    friend Mask operator==(const Lanes16Fallback& a, const Lanes16Fallback& b) noexcept {
        return holds(a, b, [](T x, T y) { return x == y; });
    }
    friend Mask operator!=(const Lanes16Fallback& a, const Lanes16Fallback& b) noexcept {
        return holds(a, b, [](T x, T y) { return x != y; });
    }
    friend Mask operator<(const Lanes16Fallback& a, const Lanes16Fallback& b) noexcept {
        return holds(a, b, [](T x, T y) { return x < y; });
    }
    friend Mask operator>=(const Lanes16Fallback& a, const Lanes16Fallback& b) noexcept {
        return holds(a, b, [](T x, T y) { return x >= y; });
    }
    Lanes16Fallback& operator+=(const Lanes16Fallback& b) noexcept { return *this = *this + b; }
    Lanes16Fallback& operator-=(const Lanes16Fallback& b) noexcept { return *this = *this - b; }

    // A scalar on either side stands for itself in every lane.
#define OSTREL_LANES16_SCALAR(op)                                     \
    friend auto operator op(const Lanes16Fallback& a, T b) noexcept { \
        return a op splat(b);                                         \
    }                                                                 \
    friend auto operator op(T a, const Lanes16Fallback& b) noexcept { \
        return splat(a) op b;                                         \
    }
    OSTREL_LANES16_SCALAR(+)
    OSTREL_LANES16_SCALAR(-)
    OSTREL_LANES16_SCALAR(&)
    OSTREL_LANES16_SCALAR(|)
    OSTREL_LANES16_SCALAR(==)
    OSTREL_LANES16_SCALAR(!=)
    OSTREL_LANES16_SCALAR(<)
    OSTREL_LANES16_SCALAR(>=)
#undef OSTREL_LANES16_SCALAR
};

#if OSTREL_HAVE_VECTOR_EXTENSIONS
// Sixteen bytes as lanes of T: SSE2 on x86-64, NEON on AArch64, plain word
// operations where there is no vector unit. GCC ignores the attribute on a
// dependent type in an alias template, but not on a class member's typedef.
template <typename T>
struct VectorOf16 {
    typedef T Type __attribute__((vector_size(16)));
};
template <typename T>
using Lanes16 = typename VectorOf16<T>::Type;
#else
template <typename T>
using Lanes16 = Lanes16Fallback<T>;
#endif
static_assert(sizeof(Lanes16<unsigned char>) == 16 && sizeof(Lanes16<std::uint64_t>) == 16);

// The number of lanes of T in a Lanes16<T>.
template <typename T>
inline constexpr std::size_t lanes16_count = 16 / sizeof(T);

}  // namespace ostrel::platform
