// ChunksIter.__next__: gathers up to chunk_size items from the wrapped
// iterator into a new list, while holding the instance exclusively so that
// the iterator's own Python code cannot step the same instance again.
#include "binding/frame.h"
#include "chunks/chunks_object.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

namespace ostrel::chunks {

namespace {

// A chunk's first items wait on the stack: one that ends within them
// needs no list until its length is known, so it is made at its final
// length with nothing to hide from the collector. Past them the items go
// straight into a list, which must be hidden from the collector and shown
// again (two calls per chunk) and, for a short chunk, copied once more.
// Measured against each other, the stack wins up to about 16 items and
// the list beyond (fewer stores, and no second buffer to stream through).
constexpr std::size_t stacked_count = 16;

// The first list of an instance that has not yet delivered a whole chunk
// has this many slots (or chunk_size, if smaller), and each growth doubles
// it, so that a huge chunk_size over a short iterator costs nothing up
// front.
constexpr std::size_t first_capacity = 2 * stacked_count;

// A list of `size` slots, filled by the caller before any Python code runs.
// A refusal unwinds with the interpreter's own MemoryError.
ObjectRef new_list(std::size_t size) {
    return checked(PyList_New(static_cast<Py_ssize_t>(size)));
}

// The chunk of one step. Past the stacked items it goes into a list made
// before its length is known and filled in place, so no later item is
// copied on the way; while that list has empty slots it is kept away from
// the collector, lest Python code run by inner find it through
// gc.get_objects() and read a hole. A chunk that fills it is delivered as
// it is; a shorter one as an exact copy. What is gathered but not
// delivered (an error, a fault, exhausted memory) is released with it.
class ChunkList {
public:
    // `capacity` is the size of the list made past the stacked items;
    // `limit` is chunk_size.
    // The stacked slots are left unset: only the first size_ are ever read,
    // and zeroing them would cost a store per slot on every step.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
    ChunkList(std::size_t capacity, std::size_t limit) noexcept
        : capacity_(capacity), limit_(limit) {}
    ChunkList(const ChunkList&) = delete;
    ChunkList& operator=(const ChunkList&) = delete;
    // Until a list takes them, the stacked items are ours to release.
    ~ChunkList() {
        if (!list_)
            for (std::size_t i = 0; i < size_; ++i) Py_DECREF(stacked_[i]);
    }

    bool empty() const noexcept { return size_ == 0; }
    bool full() const noexcept { return size_ == limit_; }

    // Takes over the reference to `item`.
    void push_back(PyObject* item) {
        if (!list_) {
            if (size_ < stacked_count) {
                stacked_[size_++] = item;
                return;
            }
            spill(item);
        } else if (size_ == capacity_) [[unlikely]] {
            grow(item);
        }
        PyList_SetItem(list_.get(), static_cast<Py_ssize_t>(size_++), item);
    }

    ObjectRef deliver() {
        if (!list_) {
            ObjectRef list = new_list(size_);
            for (std::size_t i = 0; i < size_; ++i)
                PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), stacked_[i]);
            size_ = 0;
            return list;
        }
        if (size_ == capacity_) {
            PyObject_GC_Track(list_.get());
            size_ = 0;
            return std::move(list_);
        }
        return checked(PyList_GetSlice(list_.get(), 0, static_cast<Py_ssize_t>(size_)));
    }

private:
    static ObjectRef hidden_list(std::size_t size) {
        ObjectRef list = new_list(size);
        PyObject_GC_UnTrack(list.get());
        return list;
    }

    // Moves the stacked items into a list; `item` is released should that fail.
    void spill(PyObject* item) {
        ObjectRef pending = ObjectRef::steal(item);
        list_ = hidden_list(capacity_);
        for (std::size_t i = 0; i < stacked_count; ++i)
            PyList_SetItem(list_.get(), static_cast<Py_ssize_t>(i), stacked_[i]);
        (void)pending.release();
    }

    // The same into a list twice as long (at most chunk_size).
    void grow(PyObject* item) {
        ObjectRef pending = ObjectRef::steal(item);
        std::size_t capacity = std::min(limit_, 2 * capacity_);
        ObjectRef larger = hidden_list(capacity);
        // The full list replaces the first slots: its references are
        // copied, and dropping it then releases its own.
        if (PyList_SetSlice(larger.get(), 0, static_cast<Py_ssize_t>(size_), list_.get()) != 0)
            [[unlikely]]
            api_failure();
        list_ = std::move(larger);
        capacity_ = capacity;
        (void)pending.release();
    }

    PyObject* stacked_[stacked_count];  // the first items while list_ is null
    ObjectRef list_;
    std::size_t size_ = 0;
    std::size_t capacity_;
    std::size_t limit_;
};

// Ends the gathering with `error`, unless it is the end signal (no
// exception at all, or StopIteration or a subclass), which only marks the
// instance exhausted.
Status end_or_fail(ChunksObject& self, std::optional<PyErr> error) {
    if (error && !PyErr_GivenExceptionMatches(error->type(), PyExc_StopIteration)) return error;
    self.exhausted = true;  // the StopIteration and its value are dropped
    return std::nullopt;
}

// Asks inner for items until the chunk is full or the end is signalled.
// The end (a None item, or StopIteration or a subclass) sets `exhausted`
// and is not an error; any other failure is returned and the caller drops
// what was gathered, leaving the instance active.
Status gather_by_name(ChunksObject& self, PyObject* inner, ChunkList& items) {
    const std::size_t wanted = self.chunk_size;
    for (std::size_t asked = 0; asked < wanted; ++asked) {
        // Looked up again for every item: a __next__ replaced while we
        // iterate is used from the next item on.
        Result<ObjectRef> item = call_by_name(inner, next_name());
        if (!item.ok()) return end_or_fail(self, item.into_error());
        if (item.value().get() == Py_None) {
            self.exhausted = true;
            break;
        }
        items.push_back(item.value().release());
    }
    return std::nullopt;
}

// Leaves the recursion accounting on every way out, bad_alloc included.
struct RecursionLevel {
    ~RecursionLevel() { Py_LeaveRecursiveCall(); }
};

// The same through the inner type's own next slot (see static_next_slot):
// a null result with no exception set is the end signal. Calling
// "__next__" by name would enter and leave one recursion level per item,
// always at this same depth, so entering it once for the whole chunk
// gives every item the same limit.
Status gather_through_slot(ChunksObject& self, PyObject* inner, ChunkList& items) {
    if (Py_EnterRecursiveCall(" while calling a Python object")) [[unlikely]]
        return fetch_error();
    RecursionLevel level;
    const iternextfunc next = self.fast_next;
    const std::size_t wanted = self.chunk_size;
    for (std::size_t asked = 0; asked < wanted; ++asked) {
        PyObject* item = next(inner);
        if (item == nullptr) [[unlikely]]
            return end_or_fail(self, take_error());
        if (item == Py_None) [[unlikely]] {
            Py_DECREF(item);
            self.exhausted = true;
            break;
        }
        items.push_back(item);
    }
    return std::nullopt;
}

Result<ObjectRef> step(PyObject* instance, ChunksObject& self) {
    // The interpreter steps an iterator through a borrowed reference, and
    // the inner iterator's Python code may drop every other one (an islice
    // that lets go, a list that is cleared). Our own keeps the instance
    // alive to the end of the step; it goes last, after the access is
    // given back, so a deallocation it triggers sees a free instance.
    ObjectRef keep_alive = ObjectRef::borrow(instance);
    ExclusiveAccess access(self.borrow_flag);
    if (!access.held()) [[unlikely]]
        return PyErr::lazy(ErrorKind::RuntimeError, "Already borrowed");
    if (self.exhausted) return PyErr::stop_iteration();

    // Only destruction releases `inner`, and keep_alive rules that out;
    // the step still holds its own reference to what it is calling.
    ObjectRef inner = ObjectRef::borrow(self.inner);
    const std::size_t wanted = self.chunk_size;
    // Declared after the access, so that items not delivered are released
    // while the instance is still held.
    ChunkList items(self.full_chunk_seen ? wanted : std::min(wanted, first_capacity), wanted);
    Status failure = self.fast_next != nullptr ? gather_through_slot(self, inner.get(), items)
                                               : gather_by_name(self, inner.get(), items);
    if (failure) return std::move(*failure);
    if (items.empty()) return PyErr::stop_iteration();
    if (items.full()) self.full_chunk_seen = true;
    return items.deliver();
}

}  // namespace

PyObject* chunks_next(PyObject* self) noexcept {
    return run_frame([&]() -> Result<ObjectRef> {
        Result<ChunksObject*> object = receiver(self);
        if (!object.ok()) [[unlikely]]
            return object.into_error();
        return step(self, *object.value());
    });
}

}  // namespace ostrel::chunks
