# pyright: strict
"""Typed use of ostrel_lib: `mypy --strict` and pyright check it against the
shipped stubs, and running it with python checks the same calls against the
compiled module, so the stubs and the module cannot drift apart unnoticed.
The compiled functions carry no signatures, which leaves parameter names and
return types to this file."""

from __future__ import annotations

from collections.abc import Iterator
from typing import TYPE_CHECKING

import ostrel_lib
from ostrel_lib import ChunksIter

if TYPE_CHECKING:
    from typing_extensions import assert_type
else:

    def assert_type(value, _type):
        return value


def keyword_calls() -> None:
    # Every parameter by keyword, under the names the stubs declare.
    text, needle = "\U0001f600a\U0001f600a", "a"
    found = [
        assert_type(ostrel_lib.match_indices(string=text, substring=needle), list[int]),
        assert_type(ostrel_lib.match_utf16_indices(string=text, substring=needle), list[int]),
        assert_type(ostrel_lib.match_byte_indices(string=text, substring=needle), list[int]),
        assert_type(ostrel_lib.rmatch_indices(string=text, substring=needle), list[int]),
        assert_type(ostrel_lib.rmatch_utf16_indices(string=text, substring=needle), list[int]),
        assert_type(ostrel_lib.rmatch_byte_indices(string=text, substring=needle), list[int]),
    ]
    assert found == [[1, 3], [2, 5], [4, 9], [3, 1], [5, 2], [9, 4]], found
    assert all(type(i) is int for row in found for i in row)
    length = assert_type(ostrel_lib.utf16len(string=text), int)
    assert length == len(text.encode("utf-16-le")) // 2


def chunks() -> None:
    # The class is generic only to the type checker: the compiled type cannot
    # be subscripted, so ChunksIter[...] is written where it is not evaluated.
    by_keyword = ChunksIter(iter=range(5), chunk_size=2)
    assert_type(by_keyword, "ChunksIter[int]")
    assert_type(iter(by_keyword), "ChunksIter[int]")
    assert iter(by_keyword) is by_keyword
    first = assert_type(next(by_keyword), list[int])
    assert first == [0, 1]
    assert [chunk for chunk in by_keyword] == [[2, 3], [4]]

    # A None item ends the iteration, so the lists never hold None.
    maybe: list[int | None] = [1, None, 3]
    assert_type(list(ChunksIter(maybe, 5)), list[list[int]])
    assert list(ChunksIter(maybe, 5)) == [[1]]

    # Anything with __index__ serves as chunk_size; nesting groups the groups.
    nested = ChunksIter(ChunksIter("abcde", True), 2)
    assert_type(nested, "ChunksIter[list[str]]")
    assert list(nested) == [[["a"], ["b"]], [["c"], ["d"]], [["e"]]]

    as_iterator: Iterator[list[int]] = ChunksIter(range(3), 2)
    assert next(as_iterator) == [0, 1]


def module_attributes() -> None:
    version = assert_type(ostrel_lib.__version__, str)
    names = assert_type(ostrel_lib.__all__, list[str])
    assert isinstance(version, str) and version
    assert names == [
        "match_indices",
        "match_utf16_indices",
        "match_byte_indices",
        "rmatch_indices",
        "rmatch_utf16_indices",
        "rmatch_byte_indices",
        "utf16len",
        "ChunksIter",
        "__version__",
    ], names


def refused() -> None:
    # The stubs must refuse what the module refuses: if they grew looser, the
    # ignore comments below would turn unused, which --strict reports.
    for call in (
        lambda: ostrel_lib.utf16len(b"ab"),  # type: ignore[arg-type]
        lambda: ostrel_lib.match_indices("ab", None),  # type: ignore[arg-type]
        lambda: ostrel_lib.match_indices(text="ab", substring="a"),  # type: ignore[call-arg]
        lambda: ChunksIter(range(3), 1.5),  # type: ignore[arg-type]
        lambda: ChunksIter(range(3)),  # type: ignore[call-arg]
    ):
        try:
            call()
        except TypeError:
            continue
        raise AssertionError("the module accepted a call that the stubs refuse")


if __name__ == "__main__":
    keyword_calls()
    chunks()
    module_attributes()
    refused()
    print("typed usage ran as annotated")
