"""Memory that calls into ostrel_lib leave behind, on every entry path
(tests/refleak/entry_paths.py): Python allocations as tracemalloc sees them,
the whole heap as glibc's allocator counts it (C++ buffers included) in a
fresh interpreter, and the reference counts of the objects passed in."""

import ctypes
import gc
import json
import os
import pathlib
import subprocess
import sys
import textwrap
import tracemalloc

import pytest

PATHS_DIR = str(pathlib.Path(__file__).resolve().parent / "refleak")
if PATHS_DIR not in sys.path:
    sys.path.insert(0, PATHS_DIR)

from entry_paths import all_paths, check, quiet, repeat  # noqa: E402

PATHS = all_paths()
IDS = [p.name for p in PATHS]
WARMUP = 200
# Calls per round; of two rounds the quieter counts, so that a cache filling
# once is not taken for a leak, while a leak shows in every round.
CALLS = 2000
HEAP_CALLS = 2000
# Nothing an entry allocates is meant to outlive the call, and the least a
# leak can cost is one small block (16 bytes or more) now and then.
PER_CALL_BOUND = 0.1
HEAP_BOUND = 4096  # bytes per round, for the heap as glibc counts it
# Paths that print a traceback per call are slow, so they run a quarter of
# the calls; the interpreter's traceback printing also moves caches of its
# own by up to a kilobyte or so, hence a looser figure, which a per-call
# leak still exceeds.
NOISY_PER_CALL_BOUND = 4.0
SANITIZED = os.environ.get("OSTREL_SANITIZED") == "1"


def calls_for(path, calls):
    return calls // 4 if path.noisy else calls


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


@pytest.mark.parametrize("path", PATHS, ids=IDS)
def test_python_allocations_come_back(path):
    if path.noisy and SANITIZED:
        pytest.skip("under the ASan runtime the interpreter's traceback printing keeps memory")
    calls = calls_for(path, CALLS)
    growth = []
    with quiet(path):
        check(path)
        # Traced from before the warm-up, so that caches which replace their
        # entries swap traced blocks for traced blocks.
        tracemalloc.start()
        try:
            repeat(path, WARMUP)
            for _ in range(2):
                collect()
                before = tracemalloc.get_traced_memory()[0]
                repeat(path, calls)
                collect()
                growth.append(tracemalloc.get_traced_memory()[0] - before)
        finally:
            tracemalloc.stop()
    bound = NOISY_PER_CALL_BOUND if path.noisy else PER_CALL_BOUND
    assert min(growth) / calls < bound, f"bytes kept over two rounds of {calls} calls: {growth}"


# Every allocation goes through malloc in the child (PYTHONMALLOC=malloc), so
# glibc's in-use figure counts Python objects and C++ buffers alike. Without
# the per-thread cache, freed blocks count as free at once.
HEAP_CHILD = textwrap.dedent(
    """
    import ctypes, gc, json, sys
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
        calls = {calls} // 4 if path.noisy else {calls}
        with quiet(path):
            repeat(path, {warmup})
            rounds = []
            for _ in range(2):
                before = in_use()
                repeat(path, calls)
                rounds.append(in_use() - before)
        growth[path.name] = rounds
    print(json.dumps(growth))
    """
)


@pytest.fixture(scope="module")
def heap_growth():
    if SANITIZED:
        pytest.skip("ASan's allocator replaces glibc's, whose figures this reads")
    if not hasattr(ctypes.CDLL(None), "mallinfo2"):
        pytest.skip("needs glibc's mallinfo2")
    child = HEAP_CHILD.format(paths_dir=PATHS_DIR, calls=HEAP_CALLS, warmup=WARMUP)
    env = dict(os.environ, PYTHONMALLOC="malloc", GLIBC_TUNABLES="glibc.malloc.tcache_count=0")
    run = subprocess.run(
        [sys.executable, "-c", child], capture_output=True, text=True, env=env, timeout=600
    )
    assert run.returncode == 0, run.stderr
    return json.loads(run.stdout)


@pytest.mark.parametrize("name", IDS)
def test_heap_in_use_does_not_grow(heap_growth, name):
    rounds = heap_growth[name]
    assert min(rounds) <= HEAP_BOUND, f"heap in use grew by {rounds} bytes in two rounds"


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
