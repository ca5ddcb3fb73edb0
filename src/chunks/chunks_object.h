// The ChunksIter instance: its memory layout, the receiver check shared by
// the iteration slots, and method calls by name on the wrapped iterator.
#pragma once

#include "binding/interned.h"
#include "binding/result.h"
#include "chunks/access_flag.h"
#include "chunks/chunks_iter.h"

#include <atomic>
#include <cstddef>

namespace ostrel::chunks {

// The instance's own fields, after the object header.
struct ChunksObject {
    std::size_t chunk_size;  // at least 1, fixed at construction
    PyObject* inner;         // owned; never null while the instance lives
    bool exhausted;          // set once inner signalled its end; never cleared
    // 0 free, all bits set while a __next__ runs, otherwise a reader count.
    // Only ever changed through the guards of access_flag.h.
    alignas(std::atomic_ref<std::size_t>::required_alignment) std::size_t borrow_flag;
    // The inner iterator's own next slot, when taking items through it is
    // indistinguishable from calling "__next__" by name (see
    // static_next_slot); null otherwise. Fixed at construction.
    iternextfunc fast_next;
    // Set once a step has delivered a whole chunk: later steps then make
    // their list at chunk_size at once, having seen that inner gives that
    // many. Until then a list starts small and grows.
    bool full_chunk_seen;
};

// Where the fields lie in an instance, and the basicsize the type asks for.
// Under the stable ABI of 3.10 they follow an object header declared here.
// Under abi3t the header is opaque: the type asks for room after its base's
// instance (a negative basicsize, 3.12 on) and the interpreter says where
// that room is.
#ifdef Py_TARGET_ABI3T
inline constexpr int instance_basicsize = -static_cast<int>(sizeof(ChunksObject));

inline ChunksObject& fields_of(PyObject* self) noexcept {
    return *static_cast<ChunksObject*>(
        PyObject_GetTypeData(self, reinterpret_cast<PyTypeObject*>(chunks_iter_type())));
}
#else
struct ChunksInstance {
    PyObject header;
    ChunksObject fields;
};
inline constexpr int instance_basicsize = static_cast<int>(sizeof(ChunksInstance));

inline ChunksObject& fields_of(PyObject* self) noexcept {
    return reinterpret_cast<ChunksInstance*>(self)->fields;
}
#endif

// The instance's fields, or the TypeError for a receiver of another type.
Result<ChunksObject*> receiver(PyObject* self);

// object.<name>() with no arguments: the attribute is looked up afresh on
// every call (instance attributes and __getattr__ hooks count) and the
// bound result is dropped as soon as it has been called.
Result<ObjectRef> call_by_name(PyObject* object, PyObject* name);

// The next slot of an object for which looking "__next__" up by name can
// only ever find its type's own slot wrapper, else null.
iternextfunc static_next_slot(PyObject* object);

// The type slots, defined next to the code they run.
PyObject* chunks_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept;
PyObject* chunks_iter(PyObject* self) noexcept;
PyObject* chunks_next(PyObject* self) noexcept;
void chunks_dealloc(PyObject* self) noexcept;

}  // namespace ostrel::chunks
