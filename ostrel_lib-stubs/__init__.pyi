# Type information for the ostrel_lib extension module, which carries no
# annotations of its own. Every parameter may be passed by position or by
# keyword, as the compiled functions accept both.
from collections.abc import Iterable, Iterator
from typing import SupportsIndex, TypeVar, final

__all__ = [
    "match_indices",
    "match_utf16_indices",
    "match_byte_indices",
    "rmatch_indices",
    "rmatch_utf16_indices",
    "rmatch_byte_indices",
    "utf16len",
    "ChunksIter",
    "__version__",
]

__version__: str

_T = TypeVar("_T")

def match_indices(string: str, substring: str) -> list[int]:
    """Returns a list of the UTF-8 indices of disjoint matches, from start to end."""

def match_utf16_indices(string: str, substring: str) -> list[int]:
    """Returns a list of the UTF-16 indices of disjoint matches, from start to end."""

def match_byte_indices(string: str, substring: str) -> list[int]:
    """Returns a list of the byte indices of disjoint matches, from start to end."""

def rmatch_indices(string: str, substring: str) -> list[int]:
    """Returns a list of the UTF-8 indices of disjoint matches, from end to start."""

def rmatch_utf16_indices(string: str, substring: str) -> list[int]:
    """Returns a list of the UTF-16 indices of disjoint matches, from end to start."""

def rmatch_byte_indices(string: str, substring: str) -> list[int]:
    """Returns a list of the byte indices of disjoint matches, from end to start."""

def utf16len(string: str) -> int:
    """A function that returns the UTF-16 length of a string."""

# A None item ends the iteration and is never delivered, hence items of
# `_T | None` in and lists of `_T` out. Generic to type checkers only: the
# compiled class cannot be subscripted. Final: it refuses subclasses.
@final
class ChunksIter(Iterator[list[_T]]):
    """An Iterator which takes an interator and outputs its output in groups the size of a given chunk size"""  # noqa: E501

    def __new__(cls, iter: Iterable[_T | None], chunk_size: SupportsIndex) -> ChunksIter[_T]: ...
    def __iter__(self) -> ChunksIter[_T]: ...
    def __next__(self) -> list[_T]: ...
