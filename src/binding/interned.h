// Attribute names made once per process: interned str objects kept in
// process-wide cells, filled under the interpreter lock on first need and
// never released, so that hot paths make no new string for a name.
#pragma once

#include "binding/py_err.h"

namespace ostrel {

// Borrowed; `cell` is the caller's static slot for this name.
inline PyObject* interned_name(PyObject*& cell, const char* name) {
    if (cell == nullptr) [[unlikely]]
        cell = checked(PyUnicode_InternFromString(name)).release();
    return cell;
}

}  // namespace ostrel
