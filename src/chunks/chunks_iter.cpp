// The ChunksIter type object and the slots that make, share and destroy an
// instance. What Python sees:
//
//     class ChunksIter:            # __module__ == "builtins", final
//         def __new__(cls, iter, chunk_size): ...
//         def __iter__(self): return self
//         def __next__(self): ...  # chunk_gathering.cpp
#include "chunks/chunks_iter.h"

#include "binding/bind_arguments.h"
#include "binding/conversions.h"
#include "binding/frame.h"
#include "binding/object_cell.h"
#include "chunks/chunks_object.h"
#include "fault/fault.h"

#include <string_view>
#include <utility>

namespace ostrel {

namespace chunks {

namespace {

constexpr std::string_view new_params[] = {"iter", "chunk_size"};
const ParamTable new_table{"ChunksIter", "__new__", new_params, 0, 2, {}};

// The type's own allocator; a type without one gets the generic one.
PyObject* allocate(PyTypeObject* type) {
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    if (alloc == nullptr) alloc = PyType_GenericAlloc;
    return alloc(type, 0);
}

Result<ObjectRef> construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    ArgumentSlots<2> slots;
    if (Status failure = bind_arguments(new_table, args, kwargs, slots)) [[unlikely]]
        return std::move(*failure);
    ObjectRef iterable = ObjectRef::borrow(slots[0]);

    // chunk_size is settled before __iter__ runs, so a bad size never
    // costs the caller's iterable anything.
    Result<std::size_t> chunk_size = to_word(slots[1]);
    if (!chunk_size.ok()) [[unlikely]]
        return wrap_argument_error("chunk_size", chunk_size.into_error());
    if (chunk_size.value() == 0) [[unlikely]]
        return PyErr::lazy(ErrorKind::ValueError, "chunk_size cannot be 0 or lower");

    // By name, not PyObject_GetIter: an object iterable only through
    // __getitem__ is refused, and whatever __iter__ returns is kept.
    Result<ObjectRef> inner = call_by_name(iterable.get(), iter_name());
    iterable.reset();
    if (!inner.ok()) [[unlikely]]
        return inner.into_error();

    ObjectRef self = ObjectRef::steal(allocate(type));
    if (!self) [[unlikely]]
        return fetch_error();  // `inner` is released after the error is taken
    ChunksObject& object = fields_of(self.get());
    object.chunk_size = chunk_size.value();
    object.inner = inner.value().release();
    object.exhausted = false;
    object.borrow_flag = 0;  // no other thread can see the instance yet
    object.fast_next = static_next_slot(object.inner);
    object.full_chunk_seen = false;
    return self;
}

}  // namespace

PyObject* chunks_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
    return run_frame([&]() { return construct(type, args, kwargs); });
}

PyObject* chunks_iter(PyObject* self) noexcept {
    return run_frame([&]() -> Result<ObjectRef> {
        Result<ChunksObject*> object = receiver(self);
        if (!object.ok()) [[unlikely]]
            return object.into_error();
        SharedAccess access(object.value()->borrow_flag);
        if (!access.held()) [[unlikely]]
            return PyErr::lazy(ErrorKind::RuntimeError, "Already mutably borrowed");
        return ObjectRef::borrow(self);
    });
}

void chunks_dealloc(PyObject* self) noexcept {
    run_frame([&]() -> Status {
        ChunksObject& object = fields_of(self);
        PyTypeObject* type = Py_TYPE(self);
        // Cleared first: releasing it can run Python code.
        Py_XDECREF(std::exchange(object.inner, nullptr));
        auto free_instance = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
        free_instance(self);
        // Instances of a heap type keep their type alive; this was ours.
        Py_DECREF(reinterpret_cast<PyObject*>(type));
        return std::nullopt;
    });
}

}  // namespace chunks

namespace {

ObjectRef new_chunks_iter_type() {
    static const char doc[] =
        "An Iterator which takes an interator and outputs its output in groups the size of a "
        "given chunk size";
    // The interpreter copies the doc string and the slot table but keeps
    // pointing at the name, hence static storage throughout.
    static PyType_Slot slots[] = {
        {Py_tp_doc, const_cast<char*>(doc)},
        {Py_tp_base, &PyBaseObject_Type},
        {Py_tp_dealloc, reinterpret_cast<void*>(&chunks::chunks_dealloc)},
        {Py_tp_new, reinterpret_cast<void*>(&chunks::chunks_new)},
        {Py_tp_iter, reinterpret_cast<void*>(&chunks::chunks_iter)},
        {Py_tp_iternext, reinterpret_cast<void*>(&chunks::chunks_next)},
        {0, nullptr},
    };
    // DEFAULT alone: final, outside the cycle collector, no __dict__ and
    // no weak references.
    static PyType_Spec definition = {
        "builtins.ChunksIter", chunks::instance_basicsize, 0, Py_TPFLAGS_DEFAULT, slots,
    };
    PyObject* type = PyType_FromSpec(&definition);
    if (type == nullptr) [[unlikely]] {
        PyErr_Print();
        raise_fault("An error occurred while initializing class ChunksIter");
    }
    return ObjectRef::steal(type);
}

// Made once, kept for the process.
constinit ObjectCell chunks_iter_type_cell;

}  // namespace

PyObject* chunks_iter_type() {
    return chunks_iter_type_cell.get(new_chunks_iter_type);
}

}  // namespace ostrel
