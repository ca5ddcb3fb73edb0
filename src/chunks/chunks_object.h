// The ChunksIter instance: its memory layout, the access guard that keeps a
// running __next__ from being re-entered, the receiver check shared by the
// iteration slots, and method calls by name on the wrapped iterator.
#pragma once

#include "binding/interned.h"
#include "binding/result.h"

#include <cstddef>

namespace ostrel::chunks {

struct ChunksObject {
    PyObject ob_base;
    std::size_t chunk_size;  // at least 1, fixed at construction
    PyObject* inner;         // owned; never null while the instance lives
    bool exhausted;          // set once inner signalled its end; never cleared
    // 0 free, all bits set while a __next__ runs, otherwise a reader count.
    std::size_t borrow_flag;
    // The inner iterator's own next slot, when taking items through it is
    // indistinguishable from calling "__next__" by name (see
    // static_next_slot); null otherwise. Fixed at construction.
    iternextfunc fast_next;
    // Set once a step has delivered a whole chunk: later steps then make
    // their list at chunk_size at once, having seen that inner gives that
    // many. Until then a list starts small and grows.
    bool full_chunk_seen;
};

inline constexpr std::size_t exclusive_flag = ~std::size_t{0};

// The instance, or the TypeError for a receiver of another type.
Result<ChunksObject*> receiver(PyObject* self);

// Shared access for the lifetime of the guard; refused (held() false, the
// flag untouched) while a __next__ holds the instance.
class SharedAccess {
public:
    explicit SharedAccess(ChunksObject& object) noexcept
        : object_(object.borrow_flag != exclusive_flag ? &object : nullptr) {
        if (object_ != nullptr) ++object_->borrow_flag;
    }
    ~SharedAccess() {
        if (object_ != nullptr) --object_->borrow_flag;
    }
    SharedAccess(const SharedAccess&) = delete;
    SharedAccess& operator=(const SharedAccess&) = delete;

    bool held() const noexcept { return object_ != nullptr; }

private:
    ChunksObject* object_;
};

// Exclusive access for the lifetime of the guard, so that every way out of
// __next__ (a returned error, an internal fault, exhausted memory) frees
// the instance again; refused unless the instance is free.
class ExclusiveAccess {
public:
    explicit ExclusiveAccess(ChunksObject& object) noexcept
        : object_(object.borrow_flag == 0 ? &object : nullptr) {
        if (object_ != nullptr) object_->borrow_flag = exclusive_flag;
    }
    ~ExclusiveAccess() {
        if (object_ != nullptr) object_->borrow_flag = 0;
    }
    ExclusiveAccess(const ExclusiveAccess&) = delete;
    ExclusiveAccess& operator=(const ExclusiveAccess&) = delete;

    bool held() const noexcept { return object_ != nullptr; }

private:
    ChunksObject* object_;
};

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
