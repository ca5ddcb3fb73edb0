"""OSTREL_VECTOR_WIDTH, read when the module is imported: every width this
machine runs gives the same answers as a plain find loop, and a name that is
not a width, or a width the CPU cannot run, fails the import with a message
that says so."""

import json
import os
import subprocess
import sys

import pytest

WIDTHS = ("plain", "16", "32", "64")

# Seeded texts long enough for the Latin-1 and UTF-16 forms and for several
# blocks of the widest vectors, searched by every function and compared
# with a find loop over code points, UTF-16 units and UTF-8 bytes.
PROBE = r"""
import json, random, sys
import ostrel_lib as ol

def model(s, sub, unit, reverse):
    starts, at = [], 0
    while (found := s.find(sub, at)) != -1:
        starts.append(found)
        at = found + max(len(sub), 1)
        if not sub and found == len(s):
            break
    if reverse:
        starts, at = [], len(s)
        while (found := s.rfind(sub, 0, at)) != -1:
            starts.append(found)
            at = found - max(len(sub), 1) + len(sub) if sub else found - 1
            if at < 0 or (not sub and found == 0):
                break
    size = {"cp": lambda t: len(t), "utf16": lambda t: len(t.encode("utf-16-le")) // 2,
            "byte": lambda t: len(t.encode())}[unit]
    return [size(s[:k]) for k in starts]

rng = random.Random(int(sys.argv[1]))
alphabets = ["ab", "ab\u00e9\u00ff", "a\u0416\u4e2d", "a\U0001f600\u00e9"]
failures, checked = [], 0
for trial in range(120):
    letters = alphabets[trial % len(alphabets)]
    s = "".join(rng.choice(letters) for _ in range(rng.randrange(0, 1500)))
    cut = rng.randrange(0, len(s) + 1)
    sub = s[cut:cut + rng.choice((1, 2, 3, 9, 40))] if trial % 3 else "".join(
        rng.choice(letters) for _ in range(rng.randrange(1, 6)))
    for name, unit, reverse in (("match_indices", "cp", False), ("rmatch_indices", "cp", True),
                                ("match_utf16_indices", "utf16", False),
                                ("rmatch_utf16_indices", "utf16", True),
                                ("match_byte_indices", "byte", False),
                                ("rmatch_byte_indices", "byte", True)):
        checked += 1
        if getattr(ol, name)(s, sub) != model(s, sub, unit, reverse):
            failures.append([name, trial])
    if ol.utf16len(s) != len(s.encode("utf-16-le")) // 2:
        failures.append(["utf16len", trial])
print(json.dumps({"checked": checked, "failures": failures[:5]}))
"""


def run(code, width, *args):
    env = dict(os.environ)
    env.pop("OSTREL_VECTOR_WIDTH", None)
    if width is not None:
        env["OSTREL_VECTOR_WIDTH"] = width
    return subprocess.run([sys.executable, "-c", code, *args], env=env, capture_output=True,
                          text=True, timeout=300)


def importable():
    return [w for w in WIDTHS if run("import ostrel_lib", w).returncode == 0]


def test_every_width_that_runs_agrees_with_a_find_loop(rng):
    widths = importable()
    # 16 bytes and the plain stand-in are built everywhere and run on any CPU.
    assert {"plain", "16"} <= set(widths)
    seed = str(rng.randrange(2**32))
    for width in [None, *widths]:
        done = run(PROBE, width, seed)
        assert done.returncode == 0, done.stderr
        result = json.loads(done.stdout)
        assert result == {"checked": 720, "failures": []}, f"width {width}, seed {seed}"


@pytest.mark.parametrize("value", ["128", "avx2", "0", " 16"])
def test_a_name_that_is_not_a_width_fails_the_import(value):
    done = run("import ostrel_lib", value)
    assert done.returncode != 0
    assert f"ImportError: OSTREL_VECTOR_WIDTH must be plain, 16, 32 or 64, not '{value}'" in (
        done.stderr)


def test_a_width_the_cpu_cannot_run_fails_and_a_corrected_one_imports():
    refused = [w for w in WIDTHS if w not in importable()]
    if not refused:
        pytest.skip("this CPU runs every width")
    code = """
import os
try:
    import ostrel_lib
except ImportError as error:
    print(error)
os.environ["OSTREL_VECTOR_WIDTH"] = "16"
import ostrel_lib
print(ostrel_lib.match_indices("abcabc", "c"))
"""
    done = run(code, refused[-1])
    assert done.returncode == 0, done.stderr
    first, second = done.stdout.splitlines()
    assert first.startswith(f"OSTREL_VECTOR_WIDTH={refused[-1]} asks for {refused[-1]}-byte")
    assert "cannot run; the widest here is" in first
    assert second == "[2, 5]"
