"""Every public entry of ostrel_lib on its successful and its failing paths,
each as a call that can be repeated any number of times with the same
outcome. The reference-leak check and the memory tests drive the same list;
`watched` names the argument objects whose reference counts must come back."""

import contextlib
import functools
import itertools
import os
import sys
from dataclasses import dataclass, field

from entry_objects import (
    PY_TP_ITER,
    PY_TP_ITERNEXT,
    CausedTypeError,
    Index,
    IndexRaises,
    IterGivesNoIterator,
    IterRaises,
    NoIter,
    NotText,
    Reentrant,
    Scripted,
    StopSub,
    Stranger,
    StrSub,
    TypeErrorSub,
    raw_call,
    slot,
)

import ostrel_lib
from ostrel_lib import ChunksIter

MATCH_FUNCTIONS = [
    "match_indices",
    "match_utf16_indices",
    "match_byte_indices",
    "rmatch_indices",
    "rmatch_utf16_indices",
    "rmatch_byte_indices",
]


@dataclass(frozen=True)
class EntryPath:
    name: str
    call: object  # no arguments; one call into the module
    raises: type = None  # the exception every call ends with, or None
    message: str = None  # its exact text, where the path is recognised by it
    watched: tuple = field(default=(), repr=False)
    noisy: bool = False  # writes to stderr on every call


def private(obj):
    """Objects whose reference count only the call under test can move:
    singletons, cached small ints and one-character strings are shared with
    the whole interpreter."""
    if obj is None or obj is True or obj is False:
        return False
    if type(obj) is int and -5 <= obj <= 256:
        return False
    return not (type(obj) is str and len(obj) <= 1)


def entry(name, function, *args, raises=None, message=None, watch=(), **kwargs):
    watched = tuple(o for o in (*args, *kwargs.values(), *watch) if private(o))
    call = functools.partial(function, *args, **kwargs)
    return EntryPath(name, call, raises, message, watched)


def check(path):
    """One call, which must end as the path says."""
    try:
        path.call()
    except BaseException as error:
        if path.raises is None or type(error) is not path.raises:
            kind = type(error).__name__
            raise AssertionError(f"{path.name}: unexpected {kind}: {error}") from error
        if path.message is not None and str(error) != path.message:
            raise AssertionError(f"{path.name}: message {str(error)!r}") from error
    else:
        if path.raises is not None:
            raise AssertionError(f"{path.name}: returned instead of raising {path.raises.__name__}")


def repeat(path, calls):
    """`calls` calls, checked only for the kind of outcome, so the loop
    itself holds nothing between calls."""
    call = path.call
    if path.raises is None:
        for _ in range(calls):
            call()
        return
    expected = path.raises
    for _ in range(calls):
        try:
            call()
        except expected:
            pass
        else:
            raise AssertionError(f"{path.name}: returned instead of raising")


class Discard:
    """A sys.stderr that keeps nothing: a buffered file would hold the text
    written since its last flush, which reads as memory growth."""

    def write(self, text):
        return len(text)

    def flush(self):
        pass


def discard_exception(type_, value, traceback):
    """A sys.excepthook that prints nothing and keeps nothing."""


@contextlib.contextmanager
def quiet(path):
    """Silences the path's stderr output, C stdio and sys.stderr alike. The
    traceback that the module hands to sys.excepthook goes to a hook that
    drops it: the interpreter's own printing fills caches of its own (source
    lines, code positions, the traceback module) that are not the module's
    to account for."""
    if not path.noisy:
        yield
        return
    sys.stderr.flush()
    saved_fd = os.dup(2)
    saved_stream, saved_hook = sys.stderr, sys.excepthook
    with open(os.devnull, "w") as sink:
        os.dup2(sink.fileno(), 2)
        sys.stderr, sys.excepthook = Discard(), discard_exception
        try:
            yield
        finally:
            sys.stderr, sys.excepthook = saved_stream, saved_hook
            os.dup2(saved_fd, 2)
            os.close(saved_fd)


@functools.cache
def panic_type():
    """The module's PanicException. It is not a module attribute, and other
    extensions built with the same framework register types of the same
    name, so it is told apart by behaviour: raised from an inner iterator,
    only the module's own type comes back as a new instance."""
    try:
        ostrel_lib.utf16len("\udc80")  # looks at a pending error: makes the type
    except UnicodeEncodeError:
        pass
    candidates = [t for t in BaseException.__subclasses__() if t.__module__ == "pyo3_runtime"]
    path = EntryPath("probe", None, noisy=True)
    for candidate in candidates:
        original = candidate("probe")
        with quiet(path):
            try:
                next(ChunksIter(Scripted([], lambda original=original: original), 1))
            except candidate as error:
                if error is not original:
                    return candidate
    raise AssertionError(f"no PanicException of ostrel_lib among {candidates}")


# --- the paths --------------------------------------------------------------


def text_paths():
    # Private copies: literals would be shared with the code objects.
    ascii_text = "".join(["abcab", "cabab"])
    ascii_sub = "".join(["a", "b"])
    text = "".join(["añb\U0001F600", "añ€añ"])  # 1-, 2-, 3- and 4-byte code points
    sub = "".join(["a", "ñ"])
    surrogate = "".join(["a", "\udc80", "b"])
    not_text, raw_bytes = NotText(), b"ab"
    subclass = StrSub(text)
    not_str = "' object cannot be converted to 'PyString'"
    paths = []
    for name in MATCH_FUNCTIONS:
        f = getattr(ostrel_lib, name)
        d = f"{name}()"
        paths += [
            entry(f"{name} ascii", f, ascii_text, ascii_sub),
            entry(f"{name} non-ascii", f, text, sub),
            entry(f"{name} by keyword", f, substring=sub, string=text),
            entry(f"{name} empty substring", f, text, ""),
            entry(f"{name} no match", f, text, "".join(["b", "b"])),
            entry(f"{name} str subclass", f, subclass, sub),
            entry(f"{name} missing both", f, raises=TypeError,
                  message=f"{d} missing 2 required positional arguments: "
                  "'string' and 'substring'"),
            entry(f"{name} missing one", f, substring=sub, raises=TypeError,
                  message=f"{d} missing 1 required positional argument: 'string'"),
            entry(f"{name} too many", f, text, sub, text, raises=TypeError,
                  message=f"{d} takes 2 positional arguments but 3 were given"),
            entry(f"{name} unexpected keyword", f, text, sub, other=text, raises=TypeError,
                  message=f"{d} got an unexpected keyword argument 'other'"),
            entry(f"{name} multiple values", f, text, string=text, raises=TypeError,
                  message=f"{d} got multiple values for argument 'string'"),
            entry(f"{name} string not str", f, not_text, sub, raises=TypeError,
                  message=f"argument 'string': 'NotText{not_str}", watch=(NotText,)),
            entry(f"{name} substring not str", f, text, raw_bytes, raises=TypeError,
                  message=f"argument 'substring': 'bytes{not_str}"),
            entry(f"{name} surrogate string", f, surrogate, sub, raises=UnicodeEncodeError),
            entry(f"{name} surrogate substring", f, text, surrogate, raises=UnicodeEncodeError),
        ]
    f = ostrel_lib.utf16len
    paths += [
        entry("utf16len ascii", f, ascii_text),
        entry("utf16len non-ascii", f, text),
        entry("utf16len by keyword", f, string=text),
        entry("utf16len str subclass", f, subclass),
        entry("utf16len missing", f, raises=TypeError,
              message="utf16len() missing 1 required positional argument: 'string'"),
        entry("utf16len too many", f, text, text, raises=TypeError,
              message="utf16len() takes 1 positional arguments but 2 were given"),
        entry("utf16len unexpected keyword", f, text, substring=text, raises=TypeError,
              message="utf16len() got an unexpected keyword argument 'substring'"),
        entry("utf16len not str", f, not_text, raises=TypeError,
              message=f"argument 'string': 'NotText{not_str}", watch=(NotText,)),
        entry("utf16len surrogate", f, surrogate, raises=UnicodeEncodeError),
    ]
    value = "".join(["k", "v"])
    f = ostrel_lib.match_indices
    paths += [
        entry("keyword name not str", raw_call, f, (text, sub), {1: value},
              raises=TypeError, message=f"'int{not_str}"),
        entry("keyword name with surrogate", raw_call, f, (text, sub), {"x\udc80": value},
              raises=TypeError,
              message="match_indices() got an unexpected keyword argument 'x\ufffd\ufffd\ufffd'"),
    ]
    return paths


def chunks_paths():
    C = ChunksIter
    token = NotText()
    source = range(10)
    size = Index(3)
    big_size = 1000  # above the cached small ints, so its count is ours alone
    largest = 2**64 - 1 if sys.maxsize > 2**32 else 2**32 - 1
    items = [token] * 7
    new = "ChunksIter.__new__()"
    not_int = "' object cannot be interpreted as an integer"
    paths = [
        entry("ChunksIter()", C, source, size),
        entry("ChunksIter() by keyword", C, chunk_size=big_size, iter=source),
        entry("ChunksIter() True", C, source, True),
        entry("ChunksIter() largest size", C, source, largest),
        entry("ChunksIter() missing", C, raises=TypeError,
              message=f"{new} missing 2 required positional arguments: 'iter' and 'chunk_size'"),
        entry("ChunksIter() too many", C, source, size, size, raises=TypeError,
              message=f"{new} takes 2 positional arguments but 3 were given"),
        entry("ChunksIter() unexpected keyword", C, source, size, other=size, raises=TypeError,
              message=f"{new} got an unexpected keyword argument 'other'"),
        entry("ChunksIter() multiple values", C, source, size, iter=source, raises=TypeError,
              message=f"{new} got multiple values for argument 'iter'"),
        entry("chunk_size 0", C, source, 0, raises=ValueError,
              message="chunk_size cannot be 0 or lower"),
        entry("chunk_size 0 without __iter__", C, NoIter(), False, raises=ValueError,
              message="chunk_size cannot be 0 or lower"),
        entry("chunk_size float", C, source, 3.5, raises=TypeError,
              message=f"argument 'chunk_size': 'float{not_int}"),
        entry("chunk_size str", C, source, "".join(["1", "0"]), raises=TypeError,
              message=f"argument 'chunk_size': 'str{not_int}"),
        entry("chunk_size negative", C, source, -10**6, raises=OverflowError),
        entry("chunk_size too big", C, source, 2**64, raises=OverflowError),
        entry("chunk_size __index__ TypeError with cause", C, source, CausedTypeError(),
              raises=TypeError, message="argument 'chunk_size': no index today"),
        entry("chunk_size __index__ TypeError subclass", C, source, IndexRaises(TypeErrorSub),
              raises=TypeErrorSub),
        entry("chunk_size __index__ ValueError", C, source, IndexRaises(ValueError),
              raises=ValueError),
        entry("iter without __iter__", C, NoIter(), size, raises=AttributeError),
        entry("iter whose __iter__ raises", C, IterRaises(), size, raises=KeyError),
    ]

    endless = C(itertools.repeat(token), 4)
    exhausted = C([], 3)
    next(exhausted, None)
    no_next = C(IterGivesNoIterator(), 2)
    nested_next = Reentrant(next)
    nested_next.outer = C(nested_next, 2)
    nested_iter = Reentrant(iter)
    nested_iter.outer = C(nested_iter, 2)
    stop_value = NotText()
    error_payload = NotText()
    stranger = Stranger()
    iter_slot, next_slot = slot(C, PY_TP_ITER), slot(C, PY_TP_ITERNEXT)
    foreign = "'Stranger' object cannot be converted to 'ChunksIter'"

    def fresh(name, make, raises=None, message=None, watch=(), noisy=False):
        """A step of a ChunksIter made for the call."""
        return EntryPath(name, lambda: next(make()), raises, message, watch, noisy)

    paths += [
        entry("__next__ full chunk", next, endless, watch=(token,)),
        entry("__iter__", iter, endless),
        EntryPath("list() over ChunksIter", lambda: list(C(items, 3)), watched=(items, token)),
        entry("__next__ exhausted", next, exhausted, raises=StopIteration),
        fresh("__next__ empty", lambda: C((), 3), raises=StopIteration),
        fresh("__next__ StopIteration subclass with value",
              lambda: C(Scripted([token], lambda: StopSub(stop_value)), 3),
              watch=(token, stop_value)),
        fresh("__next__ StopIteration subclass ends",
              lambda: C(Scripted([], lambda: StopSub(stop_value)), 3),
              raises=StopIteration, watch=(stop_value,)),
        fresh("__next__ None ends", lambda: C(iter([token, None, token]), 5), watch=(token,)),
        fresh("__next__ None first", lambda: C(iter([None, token]), 5),
              raises=StopIteration, watch=(token,)),
        fresh("__next__ inner raises after items",
              lambda: C(Scripted([token, token], lambda: ValueError(error_payload)), 5),
              raises=ValueError, watch=(token, error_payload)),
        entry("__next__ inner without __next__", next, no_next, raises=AttributeError),
        entry("__next__ re-entered", next, nested_next.outer, raises=RuntimeError,
              message="Already borrowed"),
        entry("__iter__ re-entered", next, nested_iter.outer, raises=RuntimeError,
              message="Already mutably borrowed"),
        fresh("ChunksIter of ChunksIter", lambda: C(C(itertools.repeat(token), 2), 3),
              watch=(token,)),
        entry("__iter__ foreign receiver", iter_slot, stranger, raises=TypeError,
              message=foreign, watch=(Stranger,)),
        entry("__next__ foreign receiver", next_slot, stranger, raises=TypeError,
              message=foreign, watch=(Stranger,)),
    ]
    panic = panic_type()
    paths.append(
        fresh("__next__ inner raises PanicException",
              lambda: C(Scripted([token], lambda: panic("boom")), 3),
              raises=panic, message="Unwrapped panic from Python code", watch=(token,),
              noisy=True)
    )
    return paths


def all_paths():
    return text_paths() + chunks_paths()
