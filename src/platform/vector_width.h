// Which vector width the text kernels run at: the widths this build holds,
// and the widest one the CPU it runs on can execute.
#pragma once

#include <optional>
#include <string_view>

namespace ostrel::platform {

// Plain is the portable C++ stand-in for 16-byte vectors; the others are
// vector bytes per step.
enum class VectorWidth : unsigned char { Plain, Bytes16, Bytes32, Bytes64 };

// Whether this build holds kernels for width (every build holds Plain and
// Bytes16; the wider ones need an x86-64 compiler that can target them).
bool width_built(VectorWidth width) noexcept;

// Whether this CPU (and its operating system, which must save the wider
// registers) can run width.
bool width_runs_here(VectorWidth width) noexcept;

// The widest width that is built and runs here.
VectorWidth widest_width() noexcept;

// "plain", "16", "32" or "64", and back.
std::string_view width_name(VectorWidth width) noexcept;
std::optional<VectorWidth> parse_width(std::string_view name) noexcept;

}  // namespace ostrel::platform
