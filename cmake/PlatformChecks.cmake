# Which GNU pieces the compiler in use has. Each is tried on its own with a
# small program; the answer goes to the sources as an OSTREL_HAVE_* (or, for
# the TLS model, OSTREL_TLS_INITIAL_EXEC) definition, so that a compiler
# without the piece builds the plain C++ fallback that src/platform/portable.h
# and src/fault/fault.h keep beside it. A build that does not come through
# this file (a compiler driven by hand) falls back on the headers' own
# detection. OSTREL_PORTABLE skips the checks and forces every fallback.
#
# Sets, for the caller: OSTREL_PLATFORM_DEFINITIONS (compile definitions of
# every target of the project) and OSTREL_IS_ELF.

include(CheckCXXSourceCompiles)

set(OSTREL_PLATFORM_DEFINITIONS "")
if(CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
  set(OSTREL_IS_ELF TRUE)
else()
  set(OSTREL_IS_ELF FALSE)
endif()

if(OSTREL_PORTABLE)
  list(APPEND OSTREL_PLATFORM_DEFINITIONS OSTREL_PORTABLE=1)
  return()
endif()

# A piece counts only if it builds without a warning: a compiler that
# ignores an attribute with a warning does not have it.
set(_ostrel_saved_flags "${CMAKE_REQUIRED_FLAGS}")
set(_ostrel_saved_quiet "${CMAKE_REQUIRED_QUIET}")
if(NOT MSVC)
  set(CMAKE_REQUIRED_FLAGS "${CMAKE_REQUIRED_FLAGS} -Werror")
endif()

# ostrel_check(NAME SOURCE): NAME=1 or NAME=0 into the definitions.
function(ostrel_check name source)
  check_cxx_source_compiles("${source}" ${name})
  if(${name})
    set(value 1)
  else()
    set(value 0)
  endif()
  set(OSTREL_PLATFORM_DEFINITIONS ${OSTREL_PLATFORM_DEFINITIONS} ${name}=${value} PARENT_SCOPE)
endfunction()

ostrel_check(OSTREL_HAVE_MEMRCHR [=[
#include <cstring>
int main(int argc, char**) {
    const char text[] = "abca";
    return ::memrchr(text, 'a' + argc - 1, 4) == text + 3 ? 0 : 1;
}
]=])

ostrel_check(OSTREL_HAVE_VECTOR_EXTENSIONS [=[
template <typename T>
struct VectorOf16 {
    typedef T Type __attribute__((vector_size(16)));
};
using Bytes = VectorOf16<unsigned char>::Type;
using Words = VectorOf16<unsigned long long>::Type;
int main(int argc, char**) {
    Bytes a = {};
    Bytes b = a + static_cast<unsigned char>(argc);
    auto same = a == b;
    Words w = __builtin_bit_cast(Words, b);
    return static_cast<int>(same[0] + b[3] + w[1]);
}
]=])

if(OSTREL_HAVE_VECTOR_EXTENSIONS)
  ostrel_check(OSTREL_HAVE_SSE2_MOVEMASK [=[
#include <bit>
typedef char Chars __attribute__((vector_size(16)));
typedef unsigned char Bytes __attribute__((vector_size(16)));
int main(int argc, char**) {
    Bytes a = {}, b = {};
    a[0] = static_cast<unsigned char>(argc);
    return __builtin_ia32_pmovmskb128(std::bit_cast<Chars>(a == b));
}
]=])
else()
  list(APPEND OSTREL_PLATFORM_DEFINITIONS OSTREL_HAVE_SSE2_MOVEMASK=0)
endif()

# The initial-exec TLS model is an ELF notion; elsewhere the default model.
if(OSTREL_IS_ELF)
  ostrel_check(OSTREL_HAVE_TLS_MODEL [=[
[[gnu::tls_model("initial-exec")]] thread_local int counter = 0;
int main() { return ++counter - 1; }
]=])
else()
  list(APPEND OSTREL_PLATFORM_DEFINITIONS OSTREL_HAVE_TLS_MODEL=0)
endif()

# Linked as well as compiled: the runtime has to provide the function.
ostrel_check(OSTREL_HAVE_CXA_GLOBALS [=[
#include <cxxabi.h>
int main() {
    void* globals = abi::__cxa_get_globals();
    asm volatile("" : : "r"(globals));
    return 0;
}
]=])

ostrel_check(OSTREL_HAVE_CALLER_BUILTINS [=[
// GCC has no __builtin_COLUMN before 13; fault.h asks for it on its own.
unsigned line(const char* file = __builtin_FILE(), unsigned at = __builtin_LINE()) {
    return at + (file[0] == 0);
}
int main() { return line() == 0; }
]=])

set(CMAKE_REQUIRED_FLAGS "${_ostrel_saved_flags}")
set(CMAKE_REQUIRED_QUIET "${_ostrel_saved_quiet}")
message(STATUS "ostrel_lib platform pieces: ${OSTREL_PLATFORM_DEFINITIONS}")
