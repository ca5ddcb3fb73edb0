// ChunksIter.__next__: gathers up to chunk_size items from the wrapped
// iterator into a new list, while holding the instance exclusively so that
// the iterator's own Python code cannot step the same instance again.
#include "binding/frame.h"
#include "chunks/chunks_object.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

namespace ostrel::chunks {

namespace {

// The scratch buffer's first size. The buffer outlives the step, so its
// growth is paid once per instance rather than once per chunk, and the
// first size only decides how many of those few early allocations there
// are; 16 slots (128 bytes) cover the small chunk sizes in one.
constexpr std::size_t first_scratch_capacity = 16;

// The items of one step, in order, in the instance's scratch buffer. The
// buffer grows geometrically as items arrive and never beyond chunk_size,
// so a huge chunk_size over a short iterator costs nothing up front. What
// the step has not handed to its list when it ends (an error, a fault,
// exhausted memory) is released here.
class Gathered {
public:
    explicit Gathered(ChunksObject& self) noexcept : self_(self) {}
    Gathered(const Gathered&) = delete;
    Gathered& operator=(const Gathered&) = delete;
    ~Gathered() {
        for (std::size_t i = 0; i < count_; ++i) Py_DECREF(self_.scratch[i]);
    }

    bool empty() const noexcept { return count_ == 0; }

    // Takes over the reference to `item`.
    void push_back(PyObject* item) {
        if (count_ == self_.scratch_capacity) [[unlikely]]
            grow(item);
        self_.scratch[count_++] = item;
    }

    // A list made at its final length; PyList_SetItem takes each reference.
    ObjectRef to_list() {
        ObjectRef list = checked(PyList_New(static_cast<Py_ssize_t>(count_)));
        for (std::size_t i = 0; i < count_; ++i)
            PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), self_.scratch[i]);
        count_ = 0;
        return list;
    }

private:
    void grow(PyObject* item) {
        ObjectRef pending = ObjectRef::steal(item);  // released if the buffer cannot grow
        std::size_t capacity = std::min(
            self_.chunk_size, std::max(first_scratch_capacity, 2 * self_.scratch_capacity));
        auto larger = std::make_unique_for_overwrite<PyObject*[]>(capacity);
        std::copy_n(self_.scratch, count_, larger.get());
        release_scratch(self_);
        self_.scratch = larger.release();
        self_.scratch_capacity = capacity;
        (void)pending.release();
    }

    ChunksObject& self_;
    std::size_t count_ = 0;
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
Status gather_by_name(ChunksObject& self, PyObject* inner, Gathered& items) {
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
Status gather_through_slot(ChunksObject& self, PyObject* inner, Gathered& items) {
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

Result<ObjectRef> step(ChunksObject& self) {
    // The interpreter steps an iterator through a borrowed reference, and
    // the inner iterator's Python code may drop every other one (a chain
    // that moves on, a list that is cleared). Our own keeps the instance
    // alive to the end of the step; it goes last, after the access is
    // given back, so a deallocation it triggers sees a free instance.
    ObjectRef keep_alive = ObjectRef::borrow(reinterpret_cast<PyObject*>(&self));
    ExclusiveAccess access(self);
    if (!access.held()) [[unlikely]]
        return PyErr::lazy(ErrorKind::RuntimeError, "Already borrowed");
    if (self.exhausted) return PyErr::stop_iteration();

    // Only destruction releases `inner`, and keep_alive rules that out;
    // the step still holds its own reference to what it is calling.
    ObjectRef inner = ObjectRef::borrow(self.inner);
    Status failure;
    ObjectRef chunk;
    {
        // Items not handed over are released here, while the instance is
        // still held.
        Gathered items(self);
        failure = self.fast_next != nullptr ? gather_through_slot(self, inner.get(), items)
                                            : gather_by_name(self, inner.get(), items);
        if (!failure && !items.empty()) chunk = items.to_list();
    }
    if (self.exhausted) release_scratch(self);
    if (failure) return std::move(*failure);
    if (!chunk) return PyErr::stop_iteration();
    return chunk;
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
