"""The objects that the entry paths of entry_paths.py hand to ostrel_lib:
arguments that convert or fail to, inner iterators that end or misbehave in
each way ChunksIter tells apart, and direct ways into the C API for calls
that Python syntax cannot make."""

import ctypes


class NotText:
    """Neither a str nor convertible to one."""


class StrSub(str):
    def __str__(self):
        return "ignored"


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class IndexRaises:
    def __init__(self, error):
        self.error = error

    def __index__(self):
        raise self.error()


class CausedTypeError:
    """__index__ raises a TypeError whose cause must carry over."""

    def __init__(self):
        self.cause = LookupError("the cause")

    def __index__(self):
        raise TypeError("no index today") from self.cause


class TypeErrorSub(TypeError):
    pass


class StopSub(StopIteration):
    pass


class Scripted:
    """An iterator of its own that replays `items` and then raises `end`
    (an exception instance made afresh each time by the factory)."""

    def __init__(self, items, end):
        self.items = list(items)
        self.end = end

    def __iter__(self):
        return self

    def __next__(self):
        if self.items:
            return self.items.pop(0)
        raise self.end()


class NoIter:
    def __getitem__(self, index):
        raise IndexError(index)


class IterRaises:
    def __init__(self):
        self.payload = NotText()

    def __iter__(self):
        # A new exception each time: one instance raised again and again
        # would grow its traceback.
        raise KeyError(self.payload)


class IterGivesNoIterator:
    """__iter__ returns an object without __next__."""

    def __init__(self):
        self.inner = NotText()

    def __iter__(self):
        return self.inner


class Reentrant:
    """Steps (or iterates) the ChunksIter that wraps it from its own __next__."""

    def __init__(self, action):
        self.action = action
        self.outer = None

    def __iter__(self):
        return self

    def __next__(self):
        return self.action(self.outer)


class Stranger:
    """A receiver of the wrong type for the ChunksIter slots."""


# A call through the C API, which accepts keyword dicts that Python syntax
# cannot build.
raw_call = ctypes.PYFUNCTYPE(ctypes.py_object, *[ctypes.py_object] * 3)(
    ("PyObject_Call", ctypes.pythonapi)
)


def slot(type_, number):
    """A type slot called directly, bypassing the wrapper's receiver check."""
    get = ctypes.pythonapi.PyType_GetSlot
    get.restype = ctypes.c_void_p
    get.argtypes = [ctypes.py_object, ctypes.c_int]
    return ctypes.PYFUNCTYPE(ctypes.py_object, ctypes.py_object)(get(type_, number))


PY_TP_ITER, PY_TP_ITERNEXT = 62, 63
