"""The six disjoint-match functions on fixed cases: every unit and direction of a
table of hand-worked texts, overlapping needles, the empty needle, U+0000, the
slicing and unit-agreement invariants, result types, keywords and large inputs."""

import pytest

import ostrel_lib

FUNCTIONS = {
    ("byte", "forward"): "match_byte_indices",
    ("byte", "reverse"): "rmatch_byte_indices",
    ("code point", "forward"): "match_indices",
    ("code point", "reverse"): "rmatch_indices",
    ("utf16", "forward"): "match_utf16_indices",
    ("utf16", "reverse"): "rmatch_utf16_indices",
}
ALL_NAMES = list(FUNCTIONS.values())
FORWARD_NAMES = [name for (_, direction), name in FUNCTIONS.items() if direction == "forward"]
REVERSE_NAMES = [name for (_, direction), name in FUNCTIONS.items() if direction == "reverse"]

# string, substring, then (forward, reverse) for bytes, code points and UTF-16 units.
CASES = [
    ("a\u00f1b a", "a", ([0, 5], [5, 0]), ([0, 4], [4, 0]), ([0, 4], [4, 0])),
    ("\U0001F600a\U0001F600a", "a", ([4, 9], [9, 4]), ([1, 3], [3, 1]), ([2, 5], [5, 2])),
    ("\U0001F600\u00f1a\U0001F600a", "a", ([6, 11], [11, 6]), ([2, 4], [4, 2]), ([3, 6], [6, 3])),
    ("x\u00f1x\u00f1x", "\u00f1x", ([1, 4], [4, 1]), ([1, 3], [3, 1]), ([1, 3], [3, 1])),
    ("\u20ac\U0001F600\u20ac", "\U0001F600\u20ac", ([3], [3]), ([1], [1]), ([1], [1])),
    ("aaa", "aa", ([0], [1]), ([0], [1]), ([0], [1])),
    ("aaaa", "aa", ([0, 2], [2, 0]), ([0, 2], [2, 0]), ([0, 2], [2, 0])),
    ("ababa", "aba", ([0], [2]), ([0], [2]), ([0], [2])),
    ("a\U0001F600", "", ([0, 1, 5], [5, 1, 0]), ([0, 1, 2], [2, 1, 0]), ([0, 1, 3], [3, 1, 0])),
    ("\u00f1b", "", ([0, 2, 3], [3, 2, 0]), ([0, 1, 2], [2, 1, 0]), ([0, 1, 2], [2, 1, 0])),
    ("", "", ([0], [0]), ([0], [0]), ([0], [0])),
    ("", "a", ([], []), ([], []), ([], [])),
    ("a", "ab", ([], []), ([], []), ([], [])),
    ("\x00a\x00", "\x00", ([0, 2], [2, 0]), ([0, 2], [2, 0]), ([0, 2], [2, 0])),
]


def _expand(cases):
    for string, substring, *per_unit in cases:
        for unit, (forward, reverse) in zip(["byte", "code point", "utf16"], per_unit, strict=True):
            for direction, expected in [("forward", forward), ("reverse", reverse)]:
                yield pytest.param(
                    FUNCTIONS[unit, direction], string, substring, expected,
                    id=f"{FUNCTIONS[unit, direction]}-{ascii(string)}-{ascii(substring)}",
                )


@pytest.mark.parametrize("name, string, substring, expected", list(_expand(CASES)))
def test_table(name, string, substring, expected):
    result = getattr(ostrel_lib, name)(string, substring)
    assert type(result) is list
    assert all(type(value) is int for value in result)
    assert result == expected


@pytest.mark.parametrize("name", ALL_NAMES)
@pytest.mark.parametrize("string", ["a", "abc", "\U0001F600", "\x00", "\u00f1\u20ac\U0001F600x" * 5])
def test_whole_string_matches_once_at_zero(name, string):
    assert getattr(ostrel_lib, name)(string, string) == [0]


@pytest.mark.parametrize("name", ALL_NAMES)
def test_keyword_arguments(name):
    function = getattr(ostrel_lib, name)
    positional = function("xa\U0001F600a", "a")
    assert function(string="xa\U0001F600a", substring="a") == positional
    assert function(substring="a", string="xa\U0001F600a") == positional
    assert function("xa\U0001F600a", substring="a") == positional


SLICING_TEXTS = [
    ("\u00f1\U0001F600a\u00f1\U0001F600a\u20ac", "\U0001F600a"),
    ("aaaaaaa", "aaa"),
    ("abaababaab", "aba"),
    ("\U0001F600\U0001F600\U0001F600", "\U0001F600\U0001F600"),
    ("x\x00\x00x\x00\x00\x00", "\x00\x00"),
    ("\u20ac\u20ac\u20ac", ""),
]


@pytest.mark.parametrize("string, substring", SLICING_TEXTS)
def test_code_point_results_slice_to_the_substring(string, substring):
    for name in ["match_indices", "rmatch_indices"]:
        result = getattr(ostrel_lib, name)(string, substring)
        assert result, name
        assert len(set(result)) == len(result)
        for v in result:
            assert string[v:v + len(substring)] == substring


@pytest.mark.parametrize("string, substring", SLICING_TEXTS)
def test_byte_results_slice_to_the_substring(string, substring):
    data, needle = string.encode(), substring.encode()
    for name in ["match_byte_indices", "rmatch_byte_indices"]:
        for v in getattr(ostrel_lib, name)(string, substring):
            assert data[v:v + len(needle)] == needle


def test_non_overlapping_needle_reverse_is_forward_reversed():
    string = "ab\u00f1\U0001F600ab\u20acab\x00ab"
    for forward, reverse in zip(FORWARD_NAMES, REVERSE_NAMES, strict=True):
        expected = getattr(ostrel_lib, forward)(string, "ab")
        assert len(expected) == 4
        assert getattr(ostrel_lib, reverse)(string, "ab") == expected[::-1]


def test_utf16_equals_code_points_before_any_astral_character():
    string = "a\u00f1b\u20aca\x00a" + "\U0001F600" * 3 + "zz"
    for utf16, code_point in [("match_utf16_indices", "match_indices"),
                              ("rmatch_utf16_indices", "rmatch_indices")]:
        expected = getattr(ostrel_lib, code_point)(string, "a")
        assert len(expected) == 3
        assert getattr(ostrel_lib, utf16)(string, "a") == expected


def test_no_case_folding_or_normalisation():
    # "e" + combining acute is canonically equivalent to U+00E9 but not equal to it.
    for name in ALL_NAMES:
        function = getattr(ostrel_lib, name)
        assert function("\u00e9", "e\u0301") == []
        assert function("e\u0301", "\u00e9") == []
        assert function("ABC", "b") == []


def _find_all(string, substring):
    positions, start = [], string.find(substring)
    while start != -1:
        positions.append(start)
        start = string.find(substring, start + len(substring))
    return positions


def test_large_inputs():
    block = "x" * 999 + "y"
    string = block * 1000
    expected = _find_all(string, "y")
    assert len(expected) == 1000
    assert ostrel_lib.match_indices(string, "y") == expected
    assert ostrel_lib.rmatch_byte_indices(string, "y") == expected[::-1]

    needle = "x" * 500 + "y"
    assert ostrel_lib.rmatch_indices(string, needle) == _find_all(string, needle)[::-1]

    runs = "a" * 1_000_000
    assert ostrel_lib.match_byte_indices(runs, "a" * 999 + "b") == []
    assert ostrel_lib.rmatch_indices(runs, "a" * 1000) == list(range(999_000, -1, -1000))
    assert ostrel_lib.match_indices(runs, "") == list(range(1_000_001))


def test_large_astral_input():
    unit = "\U0001F600" * 255 + "a"
    string = unit * 1000
    starts = _find_all(string, "a")
    # The k-th "a" follows 255 * (k + 1) astral characters and k earlier "a"s.
    utf16 = [2 * 255 * (k + 1) + k for k in range(1000)]
    byte = [4 * 255 * (k + 1) + k for k in range(1000)]
    assert ostrel_lib.match_indices(string, "a") == starts
    assert ostrel_lib.match_utf16_indices(string, "a") == utf16
    assert ostrel_lib.rmatch_utf16_indices(string, "a") == utf16[::-1]
    assert ostrel_lib.rmatch_byte_indices(string, "a") == byte[::-1]
