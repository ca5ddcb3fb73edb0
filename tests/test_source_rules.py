"""Rules of the C++ sources that the compiler cannot enforce.

Errors travel as values; only the files listed here set or clear the
interpreter's error indicator: the error value, the frame's failure paths,
and the two one-time type creations that print a failure before raising
the fault. The text core stays free of Python so that it can be tested and
fuzzed on its own.
"""

import pathlib
import re

import pytest

SRC = pathlib.Path(__file__).resolve().parent.parent / "src"

pytestmark = pytest.mark.skipif(not SRC.is_dir(), reason="source tree not available")

# Every PyErr_ call but those that only read the indicator or an exception
# given to them, or make an exception type.
INDICATOR_CALLS = re.compile(
    r"\bPyErr_(?!(?:Occurred|ExceptionMatches|GivenExceptionMatches|NormalizeException)\b)"
    r"(?!NewException)\w+\s*\("
)
ALLOWED = {"binding/frame.cpp", "binding/py_err.cpp", "binding/panic.cpp", "chunks/chunks_iter.cpp"}


def sources():
    return sorted(p for p in SRC.rglob("*") if p.suffix in {".h", ".cpp"})


def test_only_the_listed_files_touch_the_error_indicator():
    touching = {}
    for path in sources():
        rel = path.relative_to(SRC).as_posix()
        lines = [
            f"{rel}:{number}: {line.strip()}"
            for number, line in enumerate(path.read_text().splitlines(), 1)
            if INDICATOR_CALLS.search(line)
        ]
        if lines:
            touching[rel] = lines
    assert {rel: lines for rel, lines in touching.items() if rel not in ALLOWED} == {}
    # The list stays exact: a file that no longer touches it leaves the list.
    assert sorted(touching) == sorted(ALLOWED)


def test_text_core_and_fault_home_stay_plain():
    # The text core may use itself, the fault home and the platform switches;
    # the fault home only itself, the platform switches only themselves and
    # the compilers' instruction-set headers. Nothing of Python, binding,
    # chunks or the entries.
    homes = {"text": ("text/", "fault/", "platform/"), "fault": ("fault/",),
             "platform": ("platform/", "immintrin.h", "arm_neon.h")}
    offenders = []
    for folder, allowed in homes.items():
        for path in sorted((SRC / folder).iterdir()):
            for header in re.findall(r'#include\s*[<"]([^>"]+)[>"]', path.read_text()):
                if (
                    header == "Python.h"
                    or ("/" in header or header.endswith(".h"))
                    and not header.startswith(allowed)
                ):
                    offenders.append(f"{folder}/{path.name}: {header}")
    assert offenders == []


def test_instruction_set_details_live_in_platform_only():
    # Builtins, intrinsics and CPU checks of one instruction set belong behind
    # src/platform/, so that the rest reads as the algorithm.
    isa = re.compile(r"__builtin_ia32_|__builtin_cpu_|\b_mm\d*_|\bv[a-z]+q?_[usf]\d+\b"
                     r"|immintrin|arm_neon|__m\d+i?\b")
    offenders = [
        f"{p.relative_to(SRC).as_posix()}:{n}: {line.strip()}"
        for p in sources() if p.parent.name != "platform"
        for n, line in enumerate(p.read_text().splitlines(), 1) if isa.search(line)
    ]
    assert offenders == []


def test_binding_knows_neither_text_nor_chunks():
    offenders = [
        p.relative_to(SRC).as_posix()
        for p in (SRC / "binding").iterdir()
        if re.search(r"#include\s*\"(text|chunks)/", p.read_text())
    ]
    assert offenders == []
