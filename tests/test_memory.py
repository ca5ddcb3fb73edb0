"""Memory that calls into ostrel_lib leave behind, on every entry path
(tests/refleak/entry_paths.py): Python allocations as tracemalloc sees them,
the whole heap as glibc's allocator counts it (C++ buffers included) in a
fresh interpreter, and the reference counts of the objects passed in.

Each memory figure is a steady-state slope: after a warm-up that fills the
caches a first call fills (interned names, free lists, type caches), the
calls run in several rounds and the median of the per-round growths counts.
A leak grows memory in every round; a cache that fills or a table that
resizes once moves one round only, and the median passes over it."""

import array
import ctypes
import gc
import json
import os
import pathlib
import statistics
import subprocess
import sys
import textwrap
import tracemalloc

import pytest

PATHS_DIR = str(pathlib.Path(__file__).resolve().parent / "refleak")
if PATHS_DIR not in sys.path:
    sys.path.insert(0, PATHS_DIR)

import entry_objects  # noqa: E402
import entry_paths  # noqa: E402
from entry_paths import all_paths, check, quiet, repeat  # noqa: E402

PATHS = all_paths()
IDS = [p.name for p in PATHS]
WARMUP = 200
ROUNDS = 5
CALLS = 1000  # per round
# Nothing an entry allocates is meant to outlive the call, and the least a
# leak can cost is one small block (16 bytes or more) per call, or a growing
# table that adds a block every few calls: either is far above these slopes.
PER_CALL_BOUND = 0.1  # bytes per call the module's calls keep, as traced
HEAP_PER_CALL_BOUND = 2.0  # bytes per call of the heap as glibc counts it
SANITIZED = os.environ.get("OSTREL_SANITIZED") == "1"


def slope(readings, calls):
    """Bytes per call of steady growth: the median of the growths between
    successive readings, one reading per round."""
    steps = [readings[i + 1] - readings[i] for i in range(len(readings) - 1)]
    return statistics.median(steps) / calls


@pytest.fixture(scope="module", autouse=True)
def set_aside_live_objects():
    """The test process's own objects are set aside, so that the collections
    around each measurement only walk what was made since; a full collection
    per measurement would cost more than the calls measured."""
    gc.collect()
    gc.freeze()
    yield
    gc.unfreeze()


def collect():
    gc.collect()
    gc.freeze()


# What the module holds: traced blocks allocated while a path's call ran,
# that is with the path's own code as the innermost Python frame (the call
# site, and the callbacks the module makes into the objects handed to it).
# The test's own bookkeeping and anything else the process does in between
# are not counted.
CALL_FRAMES = [
    tracemalloc.Filter(True, entry_paths.__file__),
    tracemalloc.Filter(True, entry_objects.__file__),
]


def held_by_calls():
    collect()
    snapshot = tracemalloc.take_snapshot().filter_traces(CALL_FRAMES)
    return sum(trace.size for trace in snapshot.traces)


@pytest.mark.parametrize("path", PATHS, ids=IDS)
def test_python_allocations_come_back(path):
    # Integers in an array: the readings themselves keep no traced block.
    readings = array.array("q", bytes(8 * (ROUNDS + 1)))
    with quiet(path):
        check(path)
        # Traced from before the warm-up, so that caches which replace their
        # entries swap traced blocks for traced blocks.
        tracemalloc.start()
        try:
            repeat(path, WARMUP)
            readings[0] = held_by_calls()
            for round_ in range(1, ROUNDS + 1):
                repeat(path, CALLS)
                readings[round_] = held_by_calls()
        finally:
            tracemalloc.stop()
    growth = slope(readings, CALLS)
    assert growth < PER_CALL_BOUND, f"traced bytes after each round of {CALLS} calls: {readings}"


# Every allocation goes through malloc in the child (PYTHONMALLOC=malloc), so
# glibc's in-use figure counts Python objects and C++ buffers alike. Without
# the per-thread cache, freed blocks count as free at once.
HEAP_CHILD = textwrap.dedent(
    """
    import array, ctypes, gc, json, sys
    sys.path.insert(0, {paths_dir!r})
    from entry_paths import all_paths, quiet, repeat

    class Mallinfo2(ctypes.Structure):
        _fields_ = [(name, ctypes.c_size_t) for name in (
            "arena", "ordblks", "smblks", "hblks", "hblkhd",
            "usmblks", "fsmblks", "uordblks", "fordblks", "keepcost")]

    mallinfo2 = ctypes.CDLL(None).mallinfo2
    mallinfo2.restype = Mallinfo2

    def in_use():
        gc.collect()
        return mallinfo2().uordblks

    growth = {{}}
    for path in all_paths():
        readings = array.array("q", bytes(8 * ({rounds} + 1)))
        with quiet(path):
            repeat(path, {warmup})
            readings[0] = in_use()
            for round_ in range(1, {rounds} + 1):
                repeat(path, {calls})
                readings[round_] = in_use()
        growth[path.name] = readings.tolist()
    print(json.dumps(growth))
    """
)


@pytest.fixture(scope="module")
def heap_readings():
    if SANITIZED:
        pytest.skip("ASan's allocator replaces glibc's, whose figures this reads")
    if not hasattr(ctypes.CDLL(None), "mallinfo2"):
        pytest.skip("needs glibc's mallinfo2")
    child = HEAP_CHILD.format(paths_dir=PATHS_DIR, rounds=ROUNDS, calls=CALLS, warmup=WARMUP)
    env = dict(os.environ, PYTHONMALLOC="malloc", GLIBC_TUNABLES="glibc.malloc.tcache_count=0")
    run = subprocess.run(
        [sys.executable, "-c", child], capture_output=True, text=True, env=env, timeout=600
    )
    assert run.returncode == 0, run.stderr
    return json.loads(run.stdout)


@pytest.mark.parametrize("name", IDS)
def test_heap_in_use_does_not_grow(heap_readings, name):
    readings = heap_readings[name]
    growth = slope(readings, CALLS)
    assert growth < HEAP_PER_CALL_BOUND, (
        f"heap in use after each round of {CALLS} calls: {readings}"
    )


WATCHED = [p for p in PATHS if p.watched]


@pytest.mark.parametrize("path", WATCHED, ids=[p.name for p in WATCHED])
def test_arguments_keep_their_reference_counts(path):
    with quiet(path):
        check(path)
        collect()
        before = [sys.getrefcount(o) for o in path.watched]
        repeat(path, 100)
        collect()
        after = [sys.getrefcount(o) for o in path.watched]
    changed = [
        (repr(o), a - b) for o, b, a in zip(path.watched, before, after, strict=True) if a != b
    ]
    assert changed == []
