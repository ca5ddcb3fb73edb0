// Result<T>: either a value or the PyErr that stopped it. Errors travel as
// values up to the call frame; only the frame raises them.
#pragma once

#include "binding/py_err.h"

#include <optional>
#include <utility>
#include <variant>

namespace ostrel {

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(PyErr error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return state_.index() == 0; }
    T& value() { return std::get<0>(state_); }
    PyErr& error() { return std::get<1>(state_); }
    PyErr into_error() { return std::move(std::get<1>(state_)); }

private:
    std::variant<T, PyErr> state_;
};

// Success or an error, for steps that produce nothing.
using Status = std::optional<PyErr>;

}  // namespace ostrel
