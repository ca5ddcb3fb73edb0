// Internal faults: conditions that the module's own invariants rule out,
// such as a C-API call that must not fail failing for a reason other than
// memory. A fault unwinds as a C++ exception to the frame of the current
// entry, which reports it to Python as PanicException; exhausted memory is
// not a fault (it unwinds as std::bad_alloc and becomes MemoryError). This
// header is free of Python so that the plain C++ text core can raise
// faults too.
#pragma once

#include <exception>
#include <optional>
#include <string>

// The caller's location as default arguments. The builtins (rather than
// std::source_location) keep the header usable by every compiler we build
// the fuzzers with; where they are missing (CMake passes
// OSTREL_HAVE_CALLER_BUILTINS=0), or the portable build forces plain C++,
// std::source_location gives the same location, and a toolchain with
// neither reports the location as unknown.
#ifndef OSTREL_HAVE_CALLER_BUILTINS
#if !defined(OSTREL_PORTABLE) && defined(__has_builtin)
#if __has_builtin(__builtin_FILE) && __has_builtin(__builtin_LINE)
#define OSTREL_HAVE_CALLER_BUILTINS 1
#endif
#endif
#endif
#if defined(OSTREL_HAVE_CALLER_BUILTINS) && OSTREL_HAVE_CALLER_BUILTINS
#define OSTREL_CALLER_FILE __builtin_FILE()
#define OSTREL_CALLER_LINE __builtin_LINE()
#if defined(__has_builtin)
#if __has_builtin(__builtin_COLUMN)
#define OSTREL_CALLER_COLUMN __builtin_COLUMN()
#endif
#endif
#ifndef OSTREL_CALLER_COLUMN
#define OSTREL_CALLER_COLUMN 0
#endif
#endif
#ifndef OSTREL_CALLER_FILE
#include <version>
#if defined(__cpp_lib_source_location)
#include <source_location>
#define OSTREL_CALLER_FILE std::source_location::current().file_name()
#define OSTREL_CALLER_LINE static_cast<unsigned>(std::source_location::current().line())
#define OSTREL_CALLER_COLUMN static_cast<unsigned>(std::source_location::current().column())
#else
#define OSTREL_CALLER_FILE "?"
#define OSTREL_CALLER_LINE 0
#define OSTREL_CALLER_COLUMN 0
#endif
#endif

namespace ostrel {

class InternalFault final : public std::exception {
public:
    explicit InternalFault(std::optional<std::string> message) noexcept
        : message_(std::move(message)) {}

    // Absent only for a fault raised without any text.
    const std::optional<std::string>& message() const noexcept { return message_; }

    const char* what() const noexcept override {
        return message_ ? message_->c_str() : "internal fault";
    }

private:
    std::optional<std::string> message_;
};

// Writes the one-line fault report to standard error (in the fixed layout
// of compat_text.h; followed, the first time in the process, by a hint on
// getting a backtrace) and throws.
// The location defaults to the caller's (see OSTREL_CALLER_FILE above).
[[noreturn]] void raise_fault(std::string message, const char* file = OSTREL_CALLER_FILE,
                              unsigned line = OSTREL_CALLER_LINE,
                              unsigned column = OSTREL_CALLER_COLUMN);

// Throws without a report: used when a fault that Python code already
// reported comes back into the module and has to be resumed.
[[noreturn]] void resume_fault(std::optional<std::string> message);

}  // namespace ostrel
