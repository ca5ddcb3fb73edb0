// ChunksIter.__next__: gathers up to chunk_size items from the wrapped
// iterator into a new list, while holding the instance exclusively so that
// the iterator's own Python code cannot step the same instance again.
#include "binding/frame.h"
#include "chunks/chunks_object.h"

#include <optional>
#include <utility>
#include <vector>

namespace ostrel::chunks {

namespace {

// The gathered items, in order. The first few live inside the buffer, so
// that small chunks cost no heap allocation; the rest go to a vector that
// grows geometrically and never reserves chunk_size slots, so a huge
// chunk_size over a short iterator costs nothing up front. Should memory
// run out, bad_alloc unwinds through here and every item is released.
class Gathered {
public:
    Gathered() = default;
    Gathered(const Gathered&) = delete;
    Gathered& operator=(const Gathered&) = delete;
    ~Gathered() {
        for (std::size_t i = 0; i < size_; ++i) Py_XDECREF(slot(i));
    }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    void push_back(ObjectRef item) {
        if (size_ < inline_count) {
            inline_[size_] = item.release();
        } else {
            overflow_.push_back(item.get());  // on bad_alloc, `item` still owns it
            (void)item.release();
        }
        ++size_;
    }

    // Hands item i over to the caller; the buffer keeps a null in its place.
    PyObject* take(std::size_t i) noexcept { return std::exchange(slot(i), nullptr); }

private:
    static constexpr std::size_t inline_count = 16;

    PyObject*& slot(std::size_t i) noexcept {
        return i < inline_count ? inline_[i] : overflow_[i - inline_count];
    }

    PyObject* inline_[inline_count] = {};
    std::vector<PyObject*> overflow_;
    std::size_t size_ = 0;
};

// Ends the gathering with `error`, unless it is the end signal
// (StopIteration or a subclass), which only marks the instance exhausted.
Status end_or_fail(ChunksObject& self, PyErr error) {
    if (!PyErr_GivenExceptionMatches(error.type(), PyExc_StopIteration)) return error;
    self.exhausted = true;  // the StopIteration and its value are dropped
    return std::nullopt;
}

// Asks inner for items until the chunk is full or the end is signalled.
// The end (a None item, or StopIteration or a subclass) sets `exhausted`
// and is not an error; any other failure is returned and the caller drops
// what was gathered, leaving the instance active.
Status gather_by_name(ChunksObject& self, Gathered& items) {
    for (std::size_t asked = 0; asked < self.chunk_size && !self.exhausted; ++asked) {
        // Looked up again for every item: a __next__ replaced while we
        // iterate is used from the next item on.
        Result<ObjectRef> item = call_by_name(self.inner, next_name());
        if (!item.ok()) return end_or_fail(self, item.into_error());
        if (item.value().get() == Py_None) {
            self.exhausted = true;
        } else {
            items.push_back(std::move(item.value()));
        }
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
Status gather_through_slot(ChunksObject& self, Gathered& items) {
    if (Py_EnterRecursiveCall(" while calling a Python object")) [[unlikely]]
        return fetch_error();
    std::optional<PyErr> failure;
    {
        RecursionLevel level;
        for (std::size_t asked = 0; asked < self.chunk_size; ++asked) {
            ObjectRef item = ObjectRef::steal(self.fast_next(self.inner));
            if (!item) {
                failure = take_error();
                if (!failure) self.exhausted = true;
                break;
            }
            if (item.get() == Py_None) {
                self.exhausted = true;
                break;
            }
            items.push_back(std::move(item));
        }
    }
    if (failure) return end_or_fail(self, std::move(*failure));
    return std::nullopt;
}

// A list made at its final length; PyList_SetItem takes each reference.
ObjectRef to_list(Gathered& items) {
    ObjectRef list = checked(PyList_New(static_cast<Py_ssize_t>(items.size())));
    for (std::size_t i = 0; i < items.size(); ++i)
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), items.take(i));
    return list;
}

Result<ObjectRef> step(ChunksObject& self) {
    // The interpreter steps an iterator through a borrowed reference, and
    // the inner iterator's Python code may drop every other one (a chain
    // that moves on, a list that is cleared). Our own keeps the instance
    // alive to the end of the step; it goes last, after the access is
    // given back, so a deallocation it triggers sees a free instance.
    ObjectRef keep_alive = ObjectRef::borrow(reinterpret_cast<PyObject*>(&self));
    // Declared before the buffer, so that gathered items are released while
    // the instance is still held and the access is given back after them,
    // on every path out of this function.
    ExclusiveAccess access(self);
    if (!access.held()) [[unlikely]]
        return PyErr::lazy(ErrorKind::RuntimeError, "Already borrowed");
    if (self.exhausted) return PyErr::stop_iteration();

    Gathered items;
    Status failure =
        self.fast_next != nullptr ? gather_through_slot(self, items) : gather_by_name(self, items);
    if (failure) return std::move(*failure);
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
