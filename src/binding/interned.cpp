// The cells of the interned attribute names.
#include "binding/interned.h"

#include "binding/object_cell.h"
#include "binding/py_err.h"

namespace ostrel {

namespace {

PyObject* interned(ObjectCell& cell, const char* name) {
    return cell.get([name] { return checked(PyUnicode_InternFromString(name)); });
}

constinit ObjectCell all_cell;
constinit ObjectCell name_cell;
constinit ObjectCell qualname_cell;
constinit ObjectCell dict_cell;
constinit ObjectCell iter_cell;
constinit ObjectCell next_cell;

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
