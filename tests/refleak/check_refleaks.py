"""Reference and memory-block counts around every entry path of ostrel_lib:
thousands of calls after a warm-up must leave the interpreter's total
reference count and its number of allocated blocks where they were.

Needs a debug interpreter (sys.gettotalrefcount) and a module built against
its headers; .ci/refleak provides both. Named so that the ordinary test run
does not collect it; elsewhere it skips."""

import gc
import sys

import pytest

if not hasattr(sys, "gettotalrefcount"):
    pytest.skip("needs a debug build of the interpreter", allow_module_level=True)

from entry_paths import all_paths, check, quiet, repeat  # noqa: E402

import ostrel_lib  # noqa: E402

WARMUP = 200  # fills the interned names, freelists and type caches first
CALLS = 2000
ROUNDS = 3
# A leak of one reference per call shows up as CALLS in every round. The
# interpreter's own bookkeeping (a dict resized somewhere, a cache entry)
# moves the totals by a few now and then, so the quietest round counts and
# a handful either way is tolerated. A negative figure is as wrong as a
# positive one: it means a reference released that the module did not own.
SLACK = 10

PATHS = all_paths()


def counts():
    gc.collect()
    # Everything alive now is set aside, so that the next collection only
    # walks what the calls in between made.
    gc.freeze()
    return sys.gettotalrefcount(), sys.getallocatedblocks()


def growth(path):
    """The smallest change of (references, blocks) over ROUNDS runs."""
    # A path that prints a traceback per call is slow; a tenth of the calls
    # still shows a per-call leak far above the slack.
    calls = CALLS // 10 if path.noisy else CALLS
    repeat(path, WARMUP)
    changes = []
    for _ in range(ROUNDS):
        refs, blocks = counts()
        repeat(path, calls)
        after_refs, after_blocks = counts()
        changes.append((after_refs - refs, after_blocks - blocks))
    return min(changes, key=lambda change: max(abs(change[0]), abs(change[1])))


@pytest.mark.parametrize("path", PATHS, ids=[p.name for p in PATHS])
def test_entry_path_keeps_counts(path):
    with quiet(path):
        check(path)
        refs, blocks = growth(path)
    assert abs(refs) <= SLACK, f"total refcount moved by {refs}"
    assert abs(blocks) <= SLACK, f"allocated blocks moved by {blocks}"


def test_every_public_callable_has_paths():
    covered = {p.name.split()[0].removesuffix("()") for p in PATHS}
    assert set(ostrel_lib.__all__) - {"__version__"} <= covered
