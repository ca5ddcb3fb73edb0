// Internal faults: conditions that the module's own invariants rule out.
// A fault unwinds as a C++ exception to the frame of the current entry,
// which reports it to Python as PanicException. This header is free of
// Python so that the plain C++ text core can raise faults too.
#pragma once

#include <exception>
#include <optional>
#include <source_location>
#include <string>

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

// Writes the one-line fault report to standard error (followed, the first
// time in the process, by a hint on getting a backtrace) and throws.
[[noreturn]] void raise_fault(std::string message,
                              std::source_location where = std::source_location::current());

// Throws without a report: used when a fault that Python code already
// reported comes back into the module and has to be resumed.
[[noreturn]] void resume_fault(std::optional<std::string> message);

}  // namespace ostrel
