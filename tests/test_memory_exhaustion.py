"""Exhausted memory: under an address-space limit (RLIMIT_AS) set relative to
the process's own size, every call ends in the right answer or MemoryError,
never PanicException, an abort or a wrong answer, prints nothing, and the
module answers correctly afterwards. Each run is a fresh interpreter, so
that the first throw of the process (or of a thread) happens under the
limit. Run this file directly to print the table of outcomes."""

import json
import os
import subprocess
import sys
import textwrap
from concurrent.futures import ThreadPoolExecutor

import pytest

pytestmark = [
    pytest.mark.skipif(
        os.environ.get("OSTREL_SANITIZED") == "1",
        reason="the sanitizer runtime reserves address space, so the limits mean something else",
    ),
    pytest.mark.usefixtures("address_space_limit"),
]

MB = 2**20
# Headroom over the process's size when the limit is set. The big cases need
# from 0.3 GB (utf16len) to 2.5 GB (50 M positions of non-ASCII text) to
# succeed, so the grid crosses each one's allocations and ends in answers;
# at 1.25 GB one chunk of 30 M items used to end in PanicException.
HEADROOMS = [0, 64 * MB, 512 * MB, 1024 * MB, 1280 * MB, 2048 * MB, 5120 * MB]

# name: (input, call, check of the result); r is the result.
CASES = {
    "ascii_empty_needle": (
        "'a' * 50_000_000",
        "m.match_indices(given, '')",
        "len(r) == 50_000_001 and r[0] == 0 and r[-1] == 50_000_000 and r[31_337] == 31_337",
    ),
    "non_ascii_empty_needle": (
        "'é' * 50_000_000",
        "m.rmatch_utf16_indices(given, '')",
        "len(r) == 50_000_001 and r[0] == 50_000_000 and r[-1] == 0 and r[31_337] == 50_000_000 - 31_337",
    ),
    "byte_positions": (
        "'é€' * 30_000_000",
        "m.match_byte_indices(given, '€')",
        "len(r) == 30_000_000 and r[0] == 2 and r[-1] == 5 * 30_000_000 - 3 and r[1000] == 5002",
    ),
    "ucs2_reverse": (
        "'€a' * 10_000_000",
        "m.rmatch_indices(given, 'a')",
        "len(r) == 10_000_000 and r[0] == 19_999_999 and r[-1] == 1 and r[1000] == 19_999_999 - 2000",
    ),
    "utf16len": (
        "'é' * 100_000_000",
        "m.utf16len(given)",
        "r == 100_000_000",
    ),
    "one_chunk": (
        "iter(range(30_000_000))",
        "next(m.ChunksIter(given, sys.maxsize))",
        "len(r) == 30_000_000 and r[0] == 0 and r[-1] == 29_999_999 and r[31_337] == 31_337",
    ),
}

CHILD = textwrap.dedent(
    """
    import json, os, resource, sys, threading
    import ostrel_lib as m

    def size():
        with open("/proc/self/statm") as statm:
            return int(statm.read().split()[0]) * resource.getpagesize()

    def run(source, call, check, headroom):
        given = eval(source)
        soft, hard = resource.getrlimit(resource.RLIMIT_AS)
        resource.setrlimit(resource.RLIMIT_AS, (size() + headroom, hard))
        try:
            r = eval(call)
            outcome = "answer" if eval(check) else "wrong answer"
        except MemoryError:
            outcome = "MemoryError"
        except BaseException as error:
            outcome = type(error).__qualname__
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
        after = (m.match_indices("aé€a", "a") == [0, 3]
                 and m.match_byte_indices("aé€a", "a") == [0, 6]
                 and m.utf16len("é😀") == 3
                 and list(m.ChunksIter(range(5), 2)) == [[0, 1], [2, 3], [4]])
        print(json.dumps([outcome, after]), flush=True)

    source, call, check, headroom, where = json.loads(sys.argv[1])
    if where == "new thread":
        # A thread that has never entered the module, started before the limit.
        worker = threading.Thread(target=run, args=(source, call, check, headroom))
        worker.start()
        worker.join()
    else:
        run(source, call, check, headroom)
    # The result is left to the operating system: freeing tens of millions
    # of objects one by one would cost more than the run.
    os._exit(0)
    """
)


def run_case(name, headroom, where="main thread"):
    """The run's outcome: "answer", "MemoryError", or what went wrong."""
    source, call, check = CASES[name]
    done = subprocess.run(
        [sys.executable, "-c", CHILD, json.dumps([source, call, check, headroom, where])],
        capture_output=True,
        text=True,
        timeout=300,
    )
    last_line = done.stderr.strip().rpartition("\n")[2]
    if done.returncode != 0:
        return f"exit {done.returncode}: {last_line}"
    if done.stderr:
        return f"printed: {last_line}"
    outcome, after = json.loads(done.stdout)
    return outcome if after else f"{outcome}, then wrong answers"


RUNS = [(name, "main thread") for name in CASES] + [("byte_positions", "new thread")]


@pytest.mark.thread_unsafe(
    reason="its children take up to 2.5 GB each; several grids at once would exhaust the "
    "machine's memory rather than the limit each child sets"
)
@pytest.mark.parametrize(("name", "where"), RUNS, ids=[f"{n}-{w}" for n, w in RUNS])
def test_every_limit_ends_in_the_answer_or_memory_error(name, where):
    # The children mostly wait on memory, so one runs per core at a time.
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
        outcomes = pool.map(lambda headroom: run_case(name, headroom, where), HEADROOMS)
        table = {
            headroom // MB: outcome for headroom, outcome in zip(HEADROOMS, outcomes, strict=True)
        }
    assert all(outcome in ("answer", "MemoryError") for outcome in table.values()), table
    # The grid reaches both ends: refused at no headroom, answered at the top.
    assert table[0] == "MemoryError" and table[HEADROOMS[-1] // MB] == "answer", table


REFUSAL_SCAN = textwrap.dedent(
    """
    import resource
    import ostrel_lib as m

    def size():
        with open("/proc/self/statm") as statm:
            return int(statm.read().split()[0]) * resource.getpagesize()

    # A million byte positions: the index buffer, the list (PyList_New) and
    # the int objects (PyLong_FromLong) take 8 to 32 MB each, so 1 MB steps
    # have each of them refused in turn.
    text = "é€" * 1_000_000
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    outcomes = []
    for step in range(64):
        resource.setrlimit(resource.RLIMIT_AS, (size() + step * 2**20, hard))
        try:
            r = m.match_byte_indices(text, "€")
            outcomes.append("answer" if len(r) == 1_000_000 and r[-1] == 4_999_997 else "wrong")
        except MemoryError:
            outcomes.append("MemoryError")
        except BaseException as error:
            outcomes.append(type(error).__qualname__)
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
        r = None
    assert m.match_byte_indices("aé€a", "a") == [0, 6]
    print(" ".join(outcomes))
    """
)


def test_a_refused_object_is_the_interpreters_memory_error():
    # Before, a null from PyList_New or PyLong_FromLong printed the
    # MemoryError and raised PanicException instead.
    done = subprocess.run(
        [sys.executable, "-c", REFUSAL_SCAN], capture_output=True, text=True, timeout=300
    )
    assert (done.returncode, done.stderr) == (0, "")
    outcomes = done.stdout.split()
    assert set(outcomes) == {"MemoryError", "answer"}, outcomes


if __name__ == "__main__":
    print("case".ljust(40) + "".join(f"{h // MB:>14} MB" for h in HEADROOMS))
    for name, where in RUNS:
        row = [run_case(name, headroom, where) for headroom in HEADROOMS]
        print(f"{name} ({where})".ljust(40) + "".join(f"{outcome[:16]:>17}" for outcome in row))
