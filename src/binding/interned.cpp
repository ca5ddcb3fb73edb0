// The cells of the interned attribute names.
#include "binding/interned.h"

#include "binding/py_err.h"

namespace ostrel {

namespace {

PyObject* interned(PyObject*& cell, const char* name) {
    if (cell == nullptr) [[unlikely]]
        cell = checked(PyUnicode_InternFromString(name)).release();
    return cell;
}

PyObject* all_cell = nullptr;
PyObject* name_cell = nullptr;
PyObject* qualname_cell = nullptr;
PyObject* dict_cell = nullptr;
PyObject* iter_cell = nullptr;
PyObject* next_cell = nullptr;

}  // namespace

PyObject* all_name() {
    return interned(all_cell, "__all__");
}
PyObject* name_name() {
    return interned(name_cell, "__name__");
}
PyObject* qualname_name() {
    return interned(qualname_cell, "__qualname__");
}
PyObject* dict_name() {
    return interned(dict_cell, "__dict__");
}
PyObject* iter_name() {
    return interned(iter_cell, "__iter__");
}
PyObject* next_name() {
    return interned(next_cell, "__next__");
}

}  // namespace ostrel
