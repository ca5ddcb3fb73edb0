// bind_arguments: maps an argument tuple and keyword dictionary onto the
// slots of a ParamTable, refusing misuse with TypeError.
#pragma once

#include "binding/param_table.h"
#include "binding/result.h"

#include <array>
#include <span>

namespace ostrel {

// One entry per positional parameter, then one per keyword-only parameter;
// each is null or a reference valid for the whole call (borrowed from the
// tuple, or held by the call's scope).
template <std::size_t N>
using ArgumentSlots = std::array<PyObject*, N>;

Status bind_arguments(const ParamTable& table, PyObject* args, PyObject* kwargs,
                      std::span<PyObject*> slots);

}  // namespace ostrel
