"""Differential tests of the six match functions against a plain str.find /
str.rfind model, on generated text over tiny alphabets that mix 1- to 4-byte
code points and U+0000, with needles cut from the text and periodic needles
(short and long periods, repeated prefixes) that stress the search."""

import os

from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import ostrel_lib

ALPHABET = ["a", "b", "\x00", "\u00f1", "\u20ac", "\U0001F600"]


def examples(full):
    """A property's example count: full under Hypothesis's default profile (100
    examples), scaled by the loaded profile's own count (conftest.py), and
    capped by OSTREL_TEST_EXAMPLES when that is set (the mutation check runs
    the suite many times on a smaller budget)."""
    scaled = max(1, full * settings.default.max_examples // 100)
    cap = os.environ.get("OSTREL_TEST_EXAMPLES")
    return min(scaled, int(cap)) if cap else scaled


def forward_model(string, substring):
    if not substring:
        return list(range(len(string) + 1))
    positions, start = [], string.find(substring)
    while start != -1:
        positions.append(start)
        start = string.find(substring, start + len(substring))
    return positions


def reverse_model(string, substring):
    if not substring:
        return list(range(len(string), -1, -1))
    positions, back = [], len(string)
    while (start := string[:back].rfind(substring)) != -1:
        positions.append(start)
        back = start
    return positions


def in_bytes(string, index):
    return len(string[:index].encode())


def in_utf16(string, index):
    return len(string[:index].encode("utf-16-le")) // 2


def check_against_model(string, substring):
    for direction, model in [("", forward_model), ("r", reverse_model)]:
        code_points = model(string, substring)
        expected = {
            f"{direction}match_indices": code_points,
            f"{direction}match_byte_indices": [in_bytes(string, i) for i in code_points],
            f"{direction}match_utf16_indices": [in_utf16(string, i) for i in code_points],
        }
        for name, positions in expected.items():
            result = getattr(ostrel_lib, name)(string, substring)
            assert result == positions, (name, ascii(string), ascii(substring))


texts = st.text(alphabet=st.sampled_from(ALPHABET), max_size=80)
short_units = st.text(alphabet=st.sampled_from(ALPHABET), min_size=1, max_size=4)


@st.composite
def periodic_needles(draw):
    k = draw(st.integers(1, 12))
    j = draw(st.integers(0, 3 * k))
    unit = draw(short_units)
    return draw(st.sampled_from([
        ("ab" * k)[:j],
        "a" * k,
        "aab" * k,
        ("a\U0001F600" * k)[:j],
        (unit * k)[:j],
        unit * k + draw(short_units),
        # A long period: a prefix repeated, then one character that breaks it.
        "a" * k + "b" + "a" * (k // 2),
    ]))


@st.composite
def slices_of(draw, string):
    start = draw(st.integers(0, len(string)))
    end = draw(st.integers(start, min(len(string), start + 20)))
    return string[start:end]


@st.composite
def haystack_and_needle(draw):
    # A random sub-alphabet: with one or two letters, self-overlapping matches abound.
    letters = draw(st.lists(st.sampled_from(ALPHABET), min_size=1, max_size=len(ALPHABET), unique=True))
    string = draw(st.text(alphabet=st.sampled_from(letters), max_size=80))
    needle = draw(st.one_of(slices_of(string), periodic_needles(), texts.map(lambda t: t[:6])))
    return string, needle


@st.composite
def periodic_haystack_and_needle(draw):
    # Text built from the needle's own period, with a few foreign characters
    # mixed in, so that almost every window is a near miss.
    needle = draw(periodic_needles())
    period = draw(short_units) if not needle else needle[: draw(st.integers(1, len(needle)))]
    pieces = draw(st.lists(
        st.one_of(st.just(period), st.just(needle), st.sampled_from(ALPHABET)),
        max_size=40,
    ))
    return "".join(pieces), needle


COMMON = settings(
    max_examples=examples(400), derandomize=True, database=None, deadline=None,
    suppress_health_check=[HealthCheck.too_slow],
)


@COMMON
@given(haystack_and_needle())
def test_matches_agree_with_the_model(case):
    check_against_model(*case)


@COMMON
@given(periodic_haystack_and_needle())
def test_matches_agree_with_the_model_on_periodic_text(case):
    check_against_model(*case)


@settings(max_examples=examples(60), derandomize=True, database=None, deadline=None)
@given(st.integers(0, 70), st.integers(1, 70), st.sampled_from(ALPHABET), st.sampled_from(ALPHABET))
def test_runs_of_one_character_with_a_different_last(prefix, length, fill, last):
    # Needles longer than the 64-bit byte mask and windows that differ only at the end.
    needle = fill * length + last
    string = fill * (prefix + length) + last + fill * prefix + needle
    check_against_model(string, needle)
    check_against_model(string, fill * length)
    # The needle flawed at each unit in turn, then itself: a long left part
    # compared one unit short of its end would take a near miss for a match.
    other = next(c for c in ALPHABET if c not in (fill, last))
    near = "".join(needle[:at] + other + needle[at + 1:] for at in range(len(needle)))
    check_against_model(near + needle + near, needle)
