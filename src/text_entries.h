// The seven Python-facing text functions: each binds its arguments,
// converts them to Texts, runs the plain C++ text logic and converts the
// result back. They are listed in the module's function table.
#pragma once

#include <Python.h>

namespace ostrel {

PyObject* match_indices_entry(PyObject* module, PyObject* args, PyObject* kwargs) noexcept;
PyObject* match_utf16_indices_entry(PyObject* module, PyObject* args, PyObject* kwargs) noexcept;
PyObject* match_byte_indices_entry(PyObject* module, PyObject* args, PyObject* kwargs) noexcept;
PyObject* rmatch_indices_entry(PyObject* module, PyObject* args, PyObject* kwargs) noexcept;
PyObject* rmatch_utf16_indices_entry(PyObject* module, PyObject* args, PyObject* kwargs) noexcept;
PyObject* rmatch_byte_indices_entry(PyObject* module, PyObject* args, PyObject* kwargs) noexcept;
PyObject* utf16len_entry(PyObject* module, PyObject* args, PyObject* kwargs) noexcept;

}  // namespace ostrel
