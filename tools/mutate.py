#!/usr/bin/env python3
"""Mutation check: applies the reviewed mutations of tools/mutants.py one at a
time to a copy of src/, rebuilds the module incrementally in its own CMake
build directory, runs the Python suite against it with -x, and reports how
many mutants the suite kills.

    python tools/mutate.py --all               # every mutant (the full report)
    python tools/mutate.py --sample 6 --seed 3 # a seeded subset, as CI runs it
    python tools/mutate.py --only NAME ...     # named mutants
    python tools/mutate.py --list              # the list, equivalents with reasons

The working tree is never edited: src/ is mirrored into BUILD/tree (only
changed files are copied, so the build stays incremental) and the mutation is
made there. A mutant is killed when the suite fails, crashes or exceeds its
time limit; it survives when the suite passes. A mutant that no longer
applies or no longer compiles stops the run: the list is out of date.
Exits non-zero when the kill rate among the mutants run is below --min-rate.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from mutants import MUTANTS  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent
SRC = ROOT / "src"

# The sharpest tests first, so that most mutants die within seconds; then the rest.
FIRST = ["test_search_states.py", "test_match_properties.py", "test_match_encodings.py",
         "test_match.py", "test_utf16len.py", "test_chunks_iter.py", "test_binding.py"]
# The exhausted-memory grid takes minutes and finds allocation faults, which
# these mutations do not make; every other test runs.
DESELECT = ["tests/test_memory_exhaustion.py::test_every_limit_ends_in_the_answer_or_memory_error"]


def say(*parts):
    print(*parts, flush=True)


def anchor(mutant, src=SRC):
    """The offset of the mutant's text in its file; fails loudly when it is gone."""
    path = src / mutant.path
    if not path.is_file():
        sys.exit(f"mutant {mutant.name}: no file src/{mutant.path}")
    text = path.read_text()
    at = -1
    for _ in range(mutant.occurrence):
        at = text.find(mutant.old, at + 1)
        if at < 0:
            sys.exit(f"mutant {mutant.name}: occurrence {mutant.occurrence} of {mutant.old!r} "
                     f"not found in src/{mutant.path}; update tools/mutants.py")
    return text, at


def mirror(tree):
    """Copies the sources CMake needs into tree, touching only changed files."""
    wanted = {Path("CMakeLists.txt")}
    for folder in ["src", "cmake", "tests/cpp", "fuzz"]:
        if (ROOT / folder).is_dir():
            wanted |= {p.relative_to(ROOT) for p in (ROOT / folder).rglob("*") if p.is_file()}
    for rel in wanted:
        source, target = ROOT / rel, tree / rel
        if not target.is_file() or target.read_bytes() != source.read_bytes():
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(source, target)
    for target in list((tree / "src").rglob("*")):
        if target.is_file() and target.relative_to(tree) not in wanted:
            target.unlink()


def run(command, **options):
    return subprocess.run(command, cwd=ROOT, **options)


def configure(build):
    tree = build / "tree"
    mirror(tree)
    if not (build / "build.ninja").is_file():
        run(["cmake", "-S", str(tree), "-B", str(build), "-G", "Ninja",
             "-DCMAKE_BUILD_TYPE=Release", "-DOSTREL_WERROR=OFF",
             f"-DPython_EXECUTABLE={sys.executable}"], check=True, stdout=subprocess.DEVNULL)
    return tree


def build_module(build):
    done = run(["cmake", "--build", str(build), "--target", "ostrel_lib"],
               capture_output=True, text=True)
    return done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]


def suite(build, examples, timeout):
    """Runs the suite against the module in build; returns (passed, seconds, outcome)."""
    env = dict(os.environ, PYTHONPATH=str(build), OSTREL_TEST_EXAMPLES=str(examples),
               PYTHONDONTWRITEBYTECODE="1")
    tests = [f"tests/{name}" for name in FIRST]
    rest = (p.name for p in (ROOT / "tests").glob("test_*.py") if p.name not in FIRST)
    tests += [f"tests/{name}" for name in sorted(rest)]
    command = [sys.executable, "-m", "pytest", "-x", "-q", "-p", "no:cacheprovider",
               *(f"--deselect={d}" for d in DESELECT), *tests]
    started = time.monotonic()
    try:
        done = run(command, env=env, capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return False, time.monotonic() - started, "timed out"
    seconds = time.monotonic() - started
    if done.returncode == 0:
        return True, seconds, "passed"
    # 2 is a failure too when a mutant breaks the collection of a test module.
    if done.returncode in (3, 4, 5):
        sys.exit(f"pytest could not run (exit {done.returncode}):\n"
                 f"{done.stdout[-3000:]}{done.stderr[-3000:]}")
    failed = [line for line in done.stdout.splitlines() if line.startswith(("FAILED", "ERROR"))]
    return False, seconds, failed[0] if failed else f"exit {done.returncode}"


def check_import(build):
    found = run([sys.executable, "-c", "import ostrel_lib; print(ostrel_lib.__file__)"],
                env=dict(os.environ, PYTHONPATH=str(build)), capture_output=True, text=True)
    if not found.stdout.strip().startswith(str(build)):
        sys.exit(f"imported {found.stdout.strip() or found.stderr}, not the build in {build}; "
                 "run from an environment where ostrel_lib is not installed editable")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    which = parser.add_mutually_exclusive_group()
    which.add_argument("--all", action="store_true", help="run every non-equivalent mutant")
    which.add_argument("--sample", type=int, help="run this many, drawn with --seed from the "
                       "mutants not marked as known survivors")
    which.add_argument("--only", nargs="+", metavar="NAME")
    which.add_argument("--list", action="store_true")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--build", default="build/mutate-check", help="CMake build directory")
    parser.add_argument("--examples", type=int, default=25,
                        help="cap on each property test's examples (OSTREL_TEST_EXAMPLES)")
    parser.add_argument("--min-rate", type=float, default=90.0)
    args = parser.parse_args()

    names = [m.name for m in MUTANTS]
    if len(set(names)) != len(names):
        sys.exit("mutant names must be unique")
    for mutant in MUTANTS:
        anchor(mutant)  # every anchor, before any work: a stale list fails at once

    if args.list:
        for mutant in MUTANTS:
            mark = "equivalent" if mutant.equivalent else "known" if mutant.known else ""
            say(f"{mutant.name:40} src/{mutant.path} {mark}")
            for reason in filter(None, [mutant.equivalent, mutant.known]):
                say(f"{'':40}   {reason}")
        return 0

    live = [m for m in MUTANTS if not m.equivalent]
    if args.only:
        unknown = set(args.only) - set(names)
        if unknown:
            sys.exit(f"no such mutant: {', '.join(sorted(unknown))}")
        chosen = [m for m in MUTANTS if m.name in args.only]
    elif args.sample is not None:
        seed = args.seed if args.seed is not None else random.randrange(2**31)
        say(f"mutation sample: seed {seed} (replay with --seed {seed})")
        pool = [m for m in live if not m.known]
        chosen = random.Random(seed).sample(pool, min(args.sample, len(pool)))
    else:
        chosen = live
    # Mutants of one file in a row: each then rebuilds one translation unit.
    chosen.sort(key=lambda m: (m.path, names.index(m.name)))

    build = (ROOT / args.build).resolve()
    tree = configure(build)
    ok, log = build_module(build)
    if not ok:
        sys.exit(f"the unmutated module does not build:\n{log}")
    check_import(build)
    passed, baseline, outcome = suite(build, args.examples, timeout=None)
    if not passed:
        sys.exit(f"the suite fails on the unmutated module: {outcome}")
    # Generous: a mutant's suite passes slower only through a slower search.
    limit = 3 * baseline + 60
    say(f"baseline suite: {baseline:.0f}s; a mutant's run is stopped after {limit:.0f}s")

    killed, survived = [], []
    for number, mutant in enumerate(chosen, 1):
        target = tree / "src" / mutant.path
        original, at = anchor(mutant, tree / "src")
        target.write_text(original[:at] + mutant.new + original[at + len(mutant.old):])
        try:
            ok, log = build_module(build)
            if not ok:
                sys.exit(f"mutant {mutant.name} does not compile; fix tools/mutants.py:\n{log}")
            passed, seconds, outcome = suite(build, args.examples, timeout=limit)
        finally:
            target.write_text(original)
        (survived if passed else killed).append(mutant)
        verdict = "SURVIVED" if passed else "killed"
        say(f"[{number}/{len(chosen)}] {verdict:8} {mutant.name} ({seconds:.0f}s)",
            "" if passed else outcome)
    ok, log = build_module(build)  # leaves the build dir holding the unmutated module
    if not ok:
        sys.exit(f"the unmutated module does not build again:\n{log}")

    equivalent = [m for m in MUTANTS if m.equivalent]
    say(f"\nequivalent mutants, not run ({len(equivalent)}):")
    for mutant in equivalent:
        say(f"  {mutant.name} (src/{mutant.path}): {mutant.equivalent}")
    say(f"survivors ({len(survived)}):")
    for mutant in survived:
        say(f"  {mutant.name} (src/{mutant.path}): {mutant.known or 'NOT EXPECTED'}")
    for mutant in killed:
        if mutant.known:
            say(f"  note: {mutant.name} is marked as a known survivor but was killed")
    rate = 100.0 * len(killed) / len(chosen) if chosen else 100.0
    say(f"kill rate: {len(killed)}/{len(chosen)} = {rate:.1f}% of non-equivalent mutants run "
        f"(minimum {args.min_rate:.0f}%)")
    return 0 if rate >= args.min_rate else 1


if __name__ == "__main__":
    sys.exit(main())
