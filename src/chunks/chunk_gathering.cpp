// ChunksIter.__next__: gathers up to chunk_size items from the wrapped
// iterator into a new list, while holding the instance exclusively so that
// the iterator's own Python code cannot step the same instance again.
#include "binding/frame.h"
#include "chunks/chunks_object.h"

#include <vector>

namespace ostrel::chunks {

namespace {

// The gathered items. The vector grows geometrically as items arrive and
// never reserves chunk_size slots, so a huge chunk_size over a short
// iterator costs nothing up front. Should memory run out, bad_alloc
// unwinds through here and the items are released on the way.
using Gathered = std::vector<ObjectRef>;

// Asks inner for items until the chunk is full or the end is signalled.
// The end (a None item, or StopIteration or a subclass) sets `exhausted`
// and is not an error; any other failure is returned and the caller drops
// what was gathered, leaving the instance active.
Status gather(ChunksObject& self, Gathered& items) {
    for (std::size_t asked = 0; asked < self.chunk_size && !self.exhausted; ++asked) {
        // Looked up again for every item: a __next__ replaced while we
        // iterate is used from the next item on.
        Result<ObjectRef> item = call_by_name(self.inner, next_name());
        if (!item.ok()) {
            PyErr error = item.into_error();
            if (!PyErr_GivenExceptionMatches(error.type(), PyExc_StopIteration)) return error;
            self.exhausted = true;  // the StopIteration and its value are dropped
        } else if (item.value().get() == Py_None) {
            self.exhausted = true;
        } else {
            items.push_back(std::move(item.value()));
        }
    }
    return std::nullopt;
}

// A list made at its final length; PyList_SetItem takes each reference.
ObjectRef to_list(Gathered& items) {
    ObjectRef list = checked(PyList_New(static_cast<Py_ssize_t>(items.size())));
    for (std::size_t i = 0; i < items.size(); ++i)
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), items[i].release());
    return list;
}

Result<ObjectRef> step(ChunksObject& self) {
    // Declared before the buffer, so that gathered items are released while
    // the instance is still held and the access is given back last, on
    // every path out of this function.
    ExclusiveAccess access(self);
    if (!access.held()) [[unlikely]]
        return PyErr::lazy(ErrorKind::RuntimeError, "Already borrowed");
    if (self.exhausted) return PyErr::stop_iteration();

    Gathered items;
    if (Status failure = gather(self, items)) return std::move(*failure);
    if (items.empty()) return PyErr::stop_iteration();
    return to_list(items);
}

}  // namespace

PyObject* chunks_next(PyObject* self) noexcept {
    return run_frame([&]() -> Result<ObjectRef> {
        Result<ChunksObject*> object = receiver(self);
        if (!object.ok()) [[unlikely]]
            return object.into_error();
        return step(*object.value());
    });
}

}  // namespace ostrel::chunks
