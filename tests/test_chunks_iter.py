"""ChunksIter: chunking, end signals, chunk_size checks, misbehaving inner
iterators, the re-entrancy guard, the class's surface and the release of
the wrapped iterator. Its binding messages are tested with the other
callables' (test_binding.py), a second thread's refusal with the other
threaded cases (test_threads.py)."""

import os
import sys
import textwrap
import weakref

import pytest

from ostrel_lib import ChunksIter

NOT_INDEX = "'{}' object cannot be interpreted as an integer"
WORD_MAX = 2**64 - 1 if sys.maxsize > 2**32 else 2**32 - 1
END = object()  # stands for a step that raised StopIteration, in steps()


class Scripted:
    """An iterator that replays a script, counting how often it is asked:
    exceptions (classes or instances) are raised, anything else returned;
    once the script runs out it raises StopIteration."""

    def __init__(self, *script):
        self.script = list(script)
        self.calls = 0

    def __iter__(self):
        return self

    def __next__(self):
        self.calls += 1
        step = self.script.pop(0) if self.script else StopIteration
        if isinstance(step, BaseException) or (
            isinstance(step, type) and issubclass(step, BaseException)
        ):
            raise step
        return step


class Token:
    """A weak-referenceable item, to see whether a chunk's items are freed."""


class Two:
    def __index__(self):
        return 2


def steps(chunks, count):
    """The outcome of `count` steps: each chunk, or END."""
    out = []
    for _ in range(count):
        try:
            out.append(next(chunks))
        except StopIteration:
            out.append(END)
    return out


@pytest.mark.parametrize(
    "items, size, expected",
    [
        (range(7), 3, [[0, 1, 2], [3, 4, 5], [6]]),
        (range(6), 3, [[0, 1, 2], [3, 4, 5]]),
        (range(3), 1, [[0], [1], [2]]),
        (range(3), True, [[0], [1], [2]]),
        (range(3), Two(), [[0, 1], [2]]),
        (range(3), WORD_MAX, [[0, 1, 2]]),
        ([], 4, []),
        ("abcde", 2, [["a", "b"], ["c", "d"], ["e"]]),
        ([1, None, 3], 5, [[1]]),
        ([None, 1], 1, []),
    ],
)
def test_chunks_in_order(items, size, expected):
    assert list(ChunksIter(items, size)) == expected
    chunks = ChunksIter(items, size)
    assert iter(chunks) is chunks
    assert [chunk for chunk in chunks] == expected


def test_exact_multiple_asks_once_more_then_never_again():
    inner = Scripted(0, 1, 2, 3, 4, 5)
    chunks = ChunksIter(inner, 3)
    assert steps(chunks, 2) == [[0, 1, 2], [3, 4, 5]]
    assert inner.calls == 6
    assert steps(chunks, 3) == [END] * 3
    assert inner.calls == 7


@pytest.mark.parametrize(
    "end_signal", [StopIteration, StopIteration("carried"), type("Sub", (StopIteration,), {}), None]
)
def test_end_signal_is_final(end_signal):
    inner = Scripted(1, end_signal, 2, 3)
    chunks = ChunksIter(inner, 5)
    assert steps(chunks, 3) == [[1], END, END]
    assert inner.calls == 2  # nothing after the end signal is ever asked for


@pytest.mark.parametrize("inner", [lambda: [], lambda: Scripted(StopIteration(7))])
def test_end_of_iteration_carries_none(inner):
    chunks = ChunksIter(inner(), 2)
    for _ in range(2):  # the first end, and the one of an exhausted instance
        with pytest.raises(StopIteration) as caught:
            next(chunks)
        assert type(caught.value) is StopIteration
        assert caught.value.args == (None,) and caught.value.value is None


def test_inner_error_loses_the_gathered_items_and_stays_active():
    tokens = [Token(), Token()]
    refs = [weakref.ref(token) for token in tokens]
    error = ValueError("boom")
    inner = Scripted(*tokens, error, 3)
    del tokens
    chunks = ChunksIter(inner, 5)
    with pytest.raises(ValueError) as caught:
        next(chunks)
    assert caught.value is error
    assert [ref() for ref in refs] == [None, None]
    assert steps(chunks, 2) == [[3], END]


def test_generator_error_then_end():
    def gen():
        yield 1
        yield 2
        raise ValueError("late")

    chunks = ChunksIter(gen(), 5)
    with pytest.raises(ValueError, match="^late$"):
        next(chunks)
    assert steps(chunks, 1) == [END]


@pytest.mark.parametrize(
    "size, error, message",
    [
        (0, ValueError, "chunk_size cannot be 0 or lower"),
        (False, ValueError, "chunk_size cannot be 0 or lower"),
        (-1, OverflowError, "can't convert negative int to unsigned"),
        (WORD_MAX + 1, OverflowError, None),
        (3.0, TypeError, "argument 'chunk_size': " + NOT_INDEX.format("float")),
        ("3", TypeError, "argument 'chunk_size': " + NOT_INDEX.format("str")),
    ],
)
def test_bad_chunk_size_is_refused_before_iter_is_called(size, error, message):
    called = []

    class Spy:
        def __iter__(self):
            called.append(True)
            return iter([])

    with pytest.raises(error) as caught:
        ChunksIter(Spy(), size)
    if message is not None:
        assert str(caught.value) == message
    else:  # the conversion's own message, not reworded to name the argument
        assert not str(caught.value).startswith("argument")
    assert called == []
    with pytest.raises(error):  # the size is checked before __iter__ is looked up
        ChunksIter(object(), size)


def test_explicit_new():
    assert list(ChunksIter.__new__(ChunksIter, range(2), chunk_size=2)) == [[0, 1]]


class Sequence:
    """Iterable for iter(), through __getitem__, but with no __iter__."""

    def __getitem__(self, index):
        if index < 2:
            return index
        raise IndexError


KEY_ERROR = KeyError("from __iter__")


def raise_key_error(self):
    raise KEY_ERROR


@pytest.mark.parametrize(
    "iterable, error, match",
    [
        (Sequence(), AttributeError, "'Sequence' object has no attribute '__iter__'"),
        (type("NotCallable", (), {"__iter__": 5})(), TypeError, "'int' object is not callable"),
        (type("Raising", (), {"__iter__": raise_key_error})(), KeyError, "from __iter__"),
    ],
)
def test_failing_iter_is_passed_on_unchanged(iterable, error, match):
    with pytest.raises(error, match=match) as caught:
        ChunksIter(iterable, 1)
    assert error is not KeyError or caught.value is KEY_ERROR


def test_inner_without_next_fails_each_step_and_stays_active():
    class Holder:
        pass

    holder = Holder()
    chunks = ChunksIter(type("It", (), {"__iter__": lambda self: holder})(), 2)
    for _ in range(2):
        with pytest.raises(AttributeError, match="__next__"):
            next(chunks)
    # An instance attribute is found by the lookup by name, though the
    # built-in next() would refuse such an object.
    values = iter([1, 2, 3])
    holder.__next__ = lambda: next(values)
    with pytest.raises(TypeError):
        next(holder)
    assert list(chunks) == [[1, 2], [3]]


def test_next_is_looked_up_for_every_item():
    class Hooked:
        def __init__(self):
            self.count = 0

        def __iter__(self):
            return self

        def __getattr__(self, name):
            assert name == "__next__"
            self.count += 1
            return lambda: self.count if self.count < 4 else None

    assert steps(ChunksIter(Hooked(), 2), 3) == [[1, 2], [3], END]

    class Switching:
        def __iter__(self):
            return self

        def __next__(self):
            Switching.__next__ = lambda self: None  # the next item ends it
            return "first"

    assert steps(ChunksIter(Switching(), 5), 2) == [["first"], END]


def test_nested_chunks_iter():
    assert list(ChunksIter(ChunksIter(range(5), 2), 2)) == [[[0, 1], [2, 3]], [[4]]]


class Reentrant:
    """An inner iterator that calls `action(outer)` from its __next__. Only
    the outermost call does, so a broken guard shows up as a missing error
    rather than as runaway recursion."""

    def __init__(self, action, swallow):
        self.action, self.swallow, self.seen = action, swallow, []
        self.outer = None
        self.depth = 0

    def __iter__(self):
        return self

    def __next__(self):
        self.depth += 1
        try:
            if self.depth == 1:
                self.action(self.outer)
        except RuntimeError as error:
            self.seen.append(str(error))
            if not self.swallow:
                raise
        finally:
            self.depth -= 1
        return len(self.seen)


@pytest.mark.parametrize(
    "action, message", [(next, "Already borrowed"), (iter, "Already mutably borrowed")]
)
def test_reentrant_use_is_refused(action, message):
    inner = Reentrant(action, swallow=True)
    inner.outer = ChunksIter(inner, 2)
    assert next(inner.outer) == [1, 2]
    assert inner.seen == [message, message]

    inner = Reentrant(action, swallow=False)
    inner.outer = ChunksIter(inner, 2)
    with pytest.raises(RuntimeError, match=f"^{message}$"):
        next(inner.outer)
    # Refused calls leave the guard as it was, and the failed step gave it back.
    assert iter(inner.outer) is inner.outer


def test_class_surface():
    assert ChunksIter.__module__ == "builtins"
    assert ChunksIter.__name__ == ChunksIter.__qualname__ == "ChunksIter"
    assert ChunksIter.__doc__ == (
        "An Iterator which takes an interator and outputs its output in groups the size of a "
        "given chunk size"
    )
    assert ChunksIter.__bases__ == (object,)
    with pytest.raises(TypeError, match="not an acceptable base type"):
        type("Sub", (ChunksIter,), {})
    chunks = ChunksIter([], 1)
    with pytest.raises(AttributeError):
        chunks.extra = 1
    with pytest.raises(TypeError, match="weak reference"):
        weakref.ref(chunks)
    with pytest.raises(TypeError, match="ChunksIter"):
        ChunksIter.__next__(object())
    with pytest.raises(TypeError, match="ChunksIter"):
        ChunksIter.__iter__(iter([]))


def test_references_are_released():
    class Source:
        def __iter__(self):
            return Scripted(1, 2)

    source = Source()
    source_ref = weakref.ref(source)
    chunks = ChunksIter(source, 1)
    del source
    assert source_ref() is None  # only what __iter__ returned is kept
    del chunks
    inner = Scripted(1, 2)
    inner_ref = weakref.ref(inner)
    chunks = ChunksIter(inner, 1)
    del inner
    assert next(chunks) == [1] and inner_ref() is not None
    del chunks
    assert inner_ref() is None


DROPPED_MID_STEP = textwrap.dedent(
    """
    import ctypes, itertools
    from ostrel_lib import ChunksIter

    class ByName:  # stepped by looking "__next__" up
        def __init__(self, drop):
            self.drop, self.n = drop, 0
        def __iter__(self):
            return self
        def __next__(self):
            self.n += 1
            if self.n == 2:
                self.drop()
            return self.n

    def through_slot(drop):  # map is stepped through its type's next slot
        return map(lambda n: n if n != 2 else drop() or n, itertools.count(1))

    get_slot = ctypes.pythonapi.PyType_GetSlot
    get_slot.restype, get_slot.argtypes = ctypes.c_void_p, [ctypes.py_object, ctypes.c_int]
    # The slot called with the bare address, so the call itself holds no reference.
    iternext = ctypes.PYFUNCTYPE(ctypes.py_object, ctypes.c_void_p)(get_slot(ChunksIter, 63))

    def step_again(outer):
        try:
            next(outer)
        except RuntimeError:  # the instance refuses the nested step
            pass

    for make in (ByName, through_slot):
        # islice steps its iterator through a borrowed reference and lets go
        # of it as soon as a step fails: here the nested one, so the outer
        # step runs on with no reference left but its own.
        outer = itertools.islice(ChunksIter(make(lambda: step_again(outer)), 3), None)
        print(next(outer), end=" ")
        # A list holds the only reference and the inner iterator clears it.
        holder = [ChunksIter(make(lambda: holder.clear()), 3)]
        print(iternext(id(holder[0])), holder)
    """
)


def test_instance_dropped_during_its_own_step_finishes_the_step(run_python):
    # The last reference goes while inner runs; the step must still end with
    # the chunk, and nothing may touch the freed instance.
    run = run_python(DROPPED_MID_STEP)
    assert (run.returncode, run.stdout) == (0, "[1, 2, 3] [1, 2, 3] []\n" * 2), run.stderr


@pytest.mark.skipif(
    os.environ.get("OSTREL_SANITIZED") == "1", reason="sanitizers reserve the address space"
)
def test_exhausted_memory_raises_memory_error(address_space_limit, run_python):
    child = textwrap.dedent(
        """
        import itertools, os, resource, sys
        from ostrel_lib import ChunksIter
        with open("/proc/self/statm") as statm:
            used = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
        soft, hard = resource.getrlimit(resource.RLIMIT_AS)
        limit = used + 200 * 2**20
        if hard != resource.RLIM_INFINITY and hard < limit:
            print("no room")
            raise SystemExit(0)
        resource.setrlimit(resource.RLIMIT_AS, (limit, hard))
        chunks = ChunksIter(itertools.repeat(1), 2 * sys.maxsize + 1)
        try:
            next(chunks)
        except MemoryError:
            print("memory error")
        print(next(ChunksIter(range(3), 5)), iter(chunks) is chunks)
        """
    )
    run = run_python(child)
    if run.stdout == "no room\n":
        pytest.skip("the hard address-space limit leaves no room")
    assert (run.returncode, run.stdout) == (0, "memory error\n[0, 1, 2] True\n"), run.stderr


class ByName:
    """Hands items over through a Python-level __next__, so that ChunksIter
    has to look it up by name for every item."""

    def __init__(self, iterable):
        self.inner = iter(iterable)

    def __iter__(self):
        return self

    def __next__(self):
        return next(self.inner)


def failing_generator():
    yield 1
    yield 2
    raise ValueError("boom")


def generator_raising_stop_iteration():
    yield 1
    raise StopIteration  # turned into RuntimeError inside a generator


def outcomes(chunks, count=5):
    seen = []
    for _ in range(count):
        try:
            seen.append(next(chunks))
        except Exception as error:  # noqa: BLE001 - the outcome is what is compared
            seen.append((type(error), str(error)))
    return seen


@pytest.mark.parametrize(
    "make",
    [
        lambda: [1, 2, 3, 4, 5],
        lambda: range(7),
        lambda: [1, None, 3],
        lambda: iter([None, 1]),
        lambda: (x * x for x in range(5)),
        failing_generator,
        generator_raising_stop_iteration,
        lambda: map(int, "1234"),
        lambda: zip("abc", range(3), strict=True),
        lambda: {"a": 1, "b": 2}.items(),
    ],
)
@pytest.mark.parametrize("size", [1, 2, 3])
def test_builtin_iterators_behave_as_through_their_next_method(make, size):
    # Builtin iterators may be stepped through their type's slot; nothing
    # about the outcome may differ from calling __next__ by name.
    assert outcomes(ChunksIter(make(), size)) == outcomes(ChunksIter(ByName(make()), size))


@pytest.mark.parametrize("wrap", [iter, ByName], ids=["through the slot", "by name"])
def test_chunks_are_the_slices_at_every_growth_step(wrap):
    # Sizes and lengths around each point where a chunk's storage changes
    # shape; every list is exactly as long as its contents, spare slots none.
    for size in (1, 7, 8, 9, 16, 17, 33, 100):
        items = list(range(5 * size + 3))
        for length in (0, 1, size - 1, size, size + 1, len(items)):
            source = items[:length]
            expected = [source[i : i + size] for i in range(0, length, size)]
            chunks = list(ChunksIter(wrap(source), size))
            assert chunks == expected, (size, length)
            assert [sys.getsizeof(c) for c in chunks] == [sys.getsizeof(c * 1) for c in chunks]
