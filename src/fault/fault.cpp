// The fault report written to standard error when an internal fault is
// raised. Kept free of Python so that the text core links without it.
#include "fault/fault.h"

#include "fault/compat_text.h"

#include <atomic>
#include <cstdio>

namespace ostrel {

namespace {

// Atomic: faults can be raised on several threads at once, with no
// interpreter lock to order them on a free-threaded build.
std::atomic<bool> hint_written{false};

}  // namespace

void raise_fault(std::string message, const char* file, unsigned line, unsigned column) {
    std::fprintf(stderr, compat::panic_report_format, message.c_str(), file, line, column);
    if (!hint_written.exchange(true, std::memory_order_relaxed)) {
        std::fputs(
            "note: ostrel_lib records no backtrace; run the process under gdb with "
            "'catch throw' to see where the fault was raised\n",
            stderr);
    }
    std::fflush(stderr);
    throw InternalFault(std::move(message));
}

void resume_fault(std::optional<std::string> message) {
    throw InternalFault(std::move(message));
}

}  // namespace ostrel
