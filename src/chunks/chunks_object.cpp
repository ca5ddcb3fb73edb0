// What the ChunksIter slots share: the receiver check, and method calls by
// name with the interned names and the one empty argument tuple that every
// such call uses.
#include "chunks/chunks_object.h"

#include "binding/interned.h"
#include "binding/object_cell.h"
#include "chunks/chunks_iter.h"

namespace ostrel::chunks {

namespace {

// Made once and kept, like the interned names: a step over a large
// chunk_size then piles up no per-item temporaries in the call's scope.
constinit ObjectCell empty_tuple_cell;

PyObject* empty_tuple() {
    return empty_tuple_cell.get([] { return checked(PyTuple_New(0)); });
}

}  // namespace

Result<ChunksObject*> receiver(PyObject* self) {
    PyTypeObject* expected = reinterpret_cast<PyTypeObject*>(chunks_iter_type());
    PyTypeObject* actual = Py_TYPE(self);
    if (actual != expected && !PyType_IsSubtype(actual, expected)) [[unlikely]]
        return conversion_error(self, "ChunksIter");
    return &fields_of(self);
}

Result<ObjectRef> call_by_name(PyObject* object, PyObject* name) {
    ObjectRef bound = ObjectRef::steal(PyObject_GetAttr(object, name));
    if (!bound) [[unlikely]]
        return fetch_error();
    ObjectRef result = ObjectRef::steal(PyObject_Call(bound.get(), empty_tuple(), nullptr));
    // The error is taken before `bound` goes: releasing it may run Python
    // code, which must not start with an exception pending.
    if (!result) [[unlikely]]
        return fetch_error();
    return result;
}

// Objects of a static type (not a heap type: nothing on it can be
// reassigned) that use the generic attribute lookup and have no instance
// dictionary can only answer "__next__" with the wrapper of their type's
// next slot, so calling the slot directly changes nothing but the cost.
// Everything else (Python classes, instance attributes, __getattr__ hooks,
// objects with a __dict__) keeps the lookup by name for every item.
iternextfunc static_next_slot(PyObject* object) {
    PyTypeObject* type = Py_TYPE(object);
    if (PyType_GetFlags(type) & Py_TPFLAGS_HEAPTYPE) return nullptr;
    if (PyType_GetSlot(type, Py_tp_getattro) != reinterpret_cast<void*>(&PyObject_GenericGetAttr))
        return nullptr;
    if (PyObject_HasAttr(object, dict_name())) return nullptr;
    return reinterpret_cast<iternextfunc>(PyType_GetSlot(type, Py_tp_iternext));
}

}  // namespace ostrel::chunks
