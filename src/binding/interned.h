// The attribute names the module looks up: interned str objects, each made
// once per process on first need (see object_cell.h) and never
// released, so that hot paths make no new string for a name. A failure to
// make one is an internal fault.
#pragma once

#include <Python.h>

namespace ostrel {

// All borrowed.
PyObject* all_name();       // "__all__"
PyObject* name_name();      // "__name__"
PyObject* qualname_name();  // "__qualname__"
PyObject* dict_name();      // "__dict__"
PyObject* iter_name();      // "__iter__"
PyObject* next_name();      // "__next__"

}  // namespace ostrel
