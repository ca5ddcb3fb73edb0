"""How calls into ostrel_lib bind and convert their arguments: the exact TypeError
messages of binding, the rewording of conversion failures to name the parameter,
errors that must pass through untouched, and the release of argument references.
utf16len, match_indices and ChunksIter stand in for every callable."""

import ctypes
import operator
import struct
import sys

import pytest

from ostrel_lib import ChunksIter, match_indices, utf16len

NEEDS_64_BIT = pytest.mark.skipif(struct.calcsize("P") != 8, reason="64-bit machine word")


def call_with_raw_kwargs(function, args, kwargs):
    """Call through the C API, which accepts keyword dicts Python syntax cannot build."""
    call = ctypes.pythonapi.PyObject_Call
    call.restype = ctypes.py_object
    call.argtypes = [ctypes.py_object, ctypes.py_object, ctypes.py_object]
    return call(function, args, kwargs)


def interpreter_error(convert, value):
    try:
        convert(value)
    except BaseException as error:
        return error
    raise AssertionError(f"{value!r} converted without error")


def c_unsigned_long_long(value):
    convert = ctypes.pythonapi.PyLong_AsUnsignedLongLong
    convert.restype = ctypes.c_ulonglong
    convert.argtypes = [ctypes.py_object]
    return convert(value)


def raises_exactly(kind, message, function, *args, **kwargs):
    with pytest.raises(kind) as excinfo:
        function(*args, **kwargs)
    assert type(excinfo.value) is kind
    assert str(excinfo.value) == message
    return excinfo.value


# ---------------------------------------------------------------- binding messages

BINDING_CASES = {
    "missing": [
        (utf16len, (), {}, "utf16len() missing 1 required positional argument: 'string'"),
        (match_indices, (), {},
         "match_indices() missing 2 required positional arguments: 'string' and 'substring'"),
        (match_indices, ("a",), {}, "match_indices() missing 1 required positional argument: 'substring'"),
        (match_indices, (), {"substring": "a"},
         "match_indices() missing 1 required positional argument: 'string'"),
        (ChunksIter, (), {},
         "ChunksIter.__new__() missing 2 required positional arguments: 'iter' and 'chunk_size'"),
        (ChunksIter, ([],), {}, "ChunksIter.__new__() missing 1 required positional argument: 'chunk_size'"),
        (ChunksIter, (), {"chunk_size": 2}, "ChunksIter.__new__() missing 1 required positional argument: 'iter'"),
    ],
    "too-many": [
        (utf16len, ("a", "b"), {}, "utf16len() takes 1 positional arguments but 2 were given"),
        (match_indices, ("a", "b", "c"), {}, "match_indices() takes 2 positional arguments but 3 were given"),
        (ChunksIter, ([], 2, 3), {}, "ChunksIter.__new__() takes 2 positional arguments but 3 were given"),
        (utf16len, ("a",) * 12, {}, "utf16len() takes 1 positional arguments but 12 were given"),
        # Surplus positionals are reported before any keyword is looked at.
        (match_indices, ("a", "b", "c"), {"foo": 1},
         "match_indices() takes 2 positional arguments but 3 were given"),
        (utf16len, ("a", "b"), {"string": "c"}, "utf16len() takes 1 positional arguments but 2 were given"),
    ],
    "multiple-values": [
        (match_indices, ("a",), {"string": "b"}, "match_indices() got multiple values for argument 'string'"),
        (utf16len, ("a",), {"string": "b"}, "utf16len() got multiple values for argument 'string'"),
        (ChunksIter, ([], 2), {"chunk_size": 2},
         "ChunksIter.__new__() got multiple values for argument 'chunk_size'"),
        (match_indices, ("a",), {"string": "b", "foo": 1},
         "match_indices() got multiple values for argument 'string'"),
    ],
    "unexpected-keyword": [
        (utf16len, ("a",), {"substring": "b"}, "utf16len() got an unexpected keyword argument 'substring'"),
        (match_indices, ("a",), {"foo": 1, "string": "b"},
         "match_indices() got an unexpected keyword argument 'foo'"),
        (utf16len, (), {"foo": 1}, "utf16len() got an unexpected keyword argument 'foo'"),
        (match_indices, (), {"foo": 1}, "match_indices() got an unexpected keyword argument 'foo'"),
        (ChunksIter, (), {"iterable": []}, "ChunksIter.__new__() got an unexpected keyword argument 'iterable'"),
        (utf16len, (), {"String": "a"}, "utf16len() got an unexpected keyword argument 'String'"),
        (utf16len, (), {"string\x00": "a"}, "utf16len() got an unexpected keyword argument 'string\x00'"),
        (utf16len, (), {"stringé": "a"}, "utf16len() got an unexpected keyword argument 'stringé'"),
        # A lone surrogate cannot be encoded; each of its three bytes is shown as U+FFFD.
        (utf16len, (), {"\udc80": "x"}, "utf16len() got an unexpected keyword argument '\ufffd\ufffd\ufffd'"),
        (utf16len, (), {"a\ud800b": "x"}, "utf16len() got an unexpected keyword argument 'a\ufffd\ufffd\ufffdb'"),
    ],
}


@pytest.mark.parametrize(
    "function, args, kwargs, message",
    [case for cases in BINDING_CASES.values() for case in cases],
    ids=[f"{kind}-{i}" for kind, cases in BINDING_CASES.items() for i in range(len(cases))],
)
def test_binding_message(function, args, kwargs, message):
    raises_exactly(TypeError, message, function, *args, **kwargs)


@pytest.mark.parametrize("args", [(), ("a",)])
def test_keyword_name_that_is_not_a_str(args):
    error = raises_exactly(
        TypeError, "'int' object cannot be converted to 'PyString'",
        call_with_raw_kwargs, utf16len, args, {1: "x"},
    )
    assert error.__cause__ is None


def test_keyword_name_of_a_str_subclass_binds():
    class Name(str):
        pass

    assert call_with_raw_kwargs(utf16len, (), {Name("string"): "\U0001F600"}) == 2


def test_keywords_bind_in_any_order():
    assert match_indices(substring="b", string="abab") == [1, 3]
    assert match_indices("abab", substring="b") == [1, 3]
    assert list(ChunksIter(chunk_size=2, iter=[1, 2, 3])) == [[1, 2], [3]]


# ---------------------------------------------------------------- text conversion

class Outer:
    class Inner:
        pass


@pytest.mark.parametrize("value, type_name", [
    (5, "int"),
    (b"abc", "bytes"),
    (None, "NoneType"),
    (bytearray(b"a"), "bytearray"),
    (Outer.Inner(), "Outer.Inner"),
])
def test_non_str_argument_names_the_parameter_and_type(value, type_name):
    error = raises_exactly(
        TypeError, f"argument 'string': '{type_name}' object cannot be converted to 'PyString'",
        utf16len, value,
    )
    assert error.__cause__ is None
    assert error.__suppress_context__ is True


@pytest.mark.parametrize("args, parameter, type_name", [
    ((1, 2), "string", "int"),
    (("a", 2), "substring", "int"),
    ((None, "a"), "string", "NoneType"),
    (("a", b"a"), "substring", "bytes"),
])
def test_first_unconvertible_argument_is_reported(args, parameter, type_name):
    raises_exactly(
        TypeError, f"argument '{parameter}': '{type_name}' object cannot be converted to 'PyString'",
        match_indices, *args,
    )


class UnreadableNameMeta(type):
    def __getattribute__(cls, name):
        if name == "__qualname__":
            return type.__getattribute__(cls, "qualname_behaviour")()
        return type.__getattribute__(cls, name)


def _raise_runtime_error():
    raise RuntimeError("no name")


class NameRaises(metaclass=UnreadableNameMeta):
    qualname_behaviour = staticmethod(_raise_runtime_error)


class NameNotStr(metaclass=UnreadableNameMeta):
    qualname_behaviour = staticmethod(lambda: 5)


@pytest.mark.parametrize("cls", [NameRaises, NameNotStr], ids=["raises", "not-str"])
def test_type_name_that_cannot_be_read(cls):
    raises_exactly(
        TypeError,
        "argument 'string': '<failed to extract type name>' object cannot be converted to 'PyString'",
        utf16len, cls(),
    )


class Disguised(str):
    def __str__(self):
        return "something else entirely"

    def __len__(self):
        return 99

    def isascii(self):
        # The module's ASCII shortcut must not be fooled into byte offsets.
        return not str.isascii(self)


def test_str_subclass_converts_by_its_characters():
    assert utf16len(Disguised("\U0001F600a")) == 3
    assert match_indices(Disguised("xaxa"), Disguised("a")) == [1, 3]
    assert match_indices(Disguised("\u00f1a\u00f1a"), Disguised("a")) == [1, 3]


def test_nul_characters_are_ordinary_text():
    assert utf16len("a\x00\x00b") == 4
    assert match_indices("\x00a\x00", "\x00") == [0, 2]
    assert match_indices("a\x00b", "a\x00c") == []


@pytest.mark.parametrize("args, bad", [
    (("\udc80", "a"), "\udc80"),
    (("a", "\udc80"), "\udc80"),
    (("ab\ud83d", "\udc80"), "ab\ud83d"),
])
def test_lone_surrogate_raises_the_encoding_error_unchanged(args, bad):
    expected = interpreter_error(lambda s: s.encode("utf-8"), bad)
    error = raises_exactly(UnicodeEncodeError, str(expected), match_indices, *args)
    assert (error.encoding, error.object, error.start, error.end) == (
        expected.encoding, expected.object, expected.start, expected.end)


# ---------------------------------------------------------------- integer conversion

@pytest.mark.parametrize("value", [3.0, "3", None, [3]])
def test_non_integer_chunk_size_gets_the_parameter_prefix(value):
    expected = interpreter_error(operator.index, value)
    error = raises_exactly(TypeError, f"argument 'chunk_size': {expected}", ChunksIter, [], value)
    assert error.__cause__ is None
    assert error.__suppress_context__ is True


@NEEDS_64_BIT
@pytest.mark.parametrize("value", [-1, -(2**70), 2**64, 2**100])
def test_out_of_range_chunk_size_raises_the_interpreter_overflow(value):
    expected = interpreter_error(c_unsigned_long_long, value)
    assert type(expected) is OverflowError
    raises_exactly(OverflowError, str(expected), ChunksIter, [], value)


@NEEDS_64_BIT
@pytest.mark.parametrize("value", [1, True, 2**63, 2**64 - 1])
def test_chunk_size_range_accepted(value):
    chunks = ChunksIter(range(3), value)
    assert next(chunks) == [0, 1, 2][:operator.index(value)]


class NotAnInt(TypeError):
    pass


class IndexRaises:
    def __init__(self, error):
        self.error = error

    def __index__(self):
        raise self.error


class IndexReturnsStr:
    def __index__(self):
        return "3"


@pytest.mark.parametrize("error", [NotAnInt("subclass"), ValueError("bad"), OverflowError("big")])
def test_index_errors_other_than_exact_type_error_pass_unchanged(error):
    with pytest.raises(type(error)) as excinfo:
        ChunksIter([], IndexRaises(error))
    assert excinfo.value is error
    assert str(error) == error.args[0]


@pytest.mark.parametrize("error", [TypeError("x"), TypeError("a", "b"), TypeError()])
def test_type_error_from_index_is_reworded(error):
    wrapped = raises_exactly(TypeError, f"argument 'chunk_size': {error}", ChunksIter, [], IndexRaises(error))
    assert wrapped is not error
    assert wrapped.__cause__ is None
    assert wrapped.__suppress_context__ is True


def test_reworded_type_error_keeps_the_cause():
    class Chained:
        def __index__(self):
            raise TypeError("x") from cause

    cause = KeyError("k")
    wrapped = raises_exactly(TypeError, "argument 'chunk_size': x", ChunksIter, [], Chained())
    assert wrapped.__cause__ is cause
    assert wrapped.__suppress_context__ is True


def test_index_returning_non_int_is_reworded():
    expected = interpreter_error(operator.index, IndexReturnsStr())
    raises_exactly(TypeError, f"argument 'chunk_size': {expected}", ChunksIter, [], IndexReturnsStr())


# ---------------------------------------------------------------- references

def _exercise(text, keyword_value, keyword_name, other):
    for _ in range(300):
        utf16len(text)
        utf16len(string=keyword_value)
        match_indices(text, substring=keyword_value)
        for function, args, kwargs in [
            (utf16len, (text, text), {}),
            (utf16len, (text,), {"string": keyword_value}),
            (utf16len, (), {keyword_name: keyword_value}),
            (match_indices, (text, other), {}),
            (match_indices, (other, text), {}),
            (match_indices, (text,), {"substring": other}),
        ]:
            try:
                function(*args, **kwargs)
            except (TypeError, OverflowError):
                pass
            else:
                raise AssertionError(f"{function.__name__}{args} did not fail")


def test_calls_leave_argument_reference_counts_unchanged():
    class Opaque:
        pass

    # Built at run time so that no constant or interned copy shares their counts.
    text = "".join(["héllo ", "\U0001F600", str(id(Opaque))])
    keyword_value = text[1:]
    keyword_name = "".join(["unex", "pected"])
    other = Opaque()
    watched = [text, keyword_value, keyword_name, other, Opaque]
    before = [sys.getrefcount(obj) for obj in watched]
    _exercise(text, keyword_value, keyword_name, other)
    assert [sys.getrefcount(obj) for obj in watched] == before
