"""The encodings a string is searched in: ASCII in place, Latin-1 for long strings
of characters up to U+00FF, UTF-16 for the others (and UTF-8 for byte offsets of
strings with astral characters). Differential tests against the str.find model
drive every form, short and long, with needles that would match at an odd byte
offset of UTF-16LE, surrogate pairs at both ends, lone surrogates in either
argument, and long periodic and uniform texts past the search filter's warm-up
and the counting kernels' blocks."""

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from test_match_properties import check_against_model, examples

import ostrel_lib

NAMES = ["match_indices", "rmatch_indices", "match_utf16_indices", "rmatch_utf16_indices",
         "match_byte_indices", "rmatch_byte_indices"]

# One alphabet per storage width. "\x01" and "\u0100" are each other's halves in
# UTF-16LE, so a byte search would see "\u0100" inside "\x01\x01".
ALPHABETS = {
    "latin-1": ["a", "\x00", "\x01", "\x80", "\xe9", "\xff"],
    "bmp": ["a", "\x01", "\xe9", "\u0100", "\u0101", "\u0436", "\ud7ff", "\ue000", "\uffff"],
    "astral": ["a", "\x01", "\u0100", "\U00010000", "\U0001F600", "\U0010FFFF", "\U00010100"],
}
LONG = 600  # past the length from which the storage width is looked at


@st.composite
def string_and_needle(draw):
    letters = draw(st.sampled_from(list(ALPHABETS.values())))
    string = draw(st.text(alphabet=st.sampled_from(letters), max_size=60))
    if draw(st.booleans()):
        # Repeated until long, so that the text is read in its cheapest form.
        string = string * (LONG // max(1, len(string)) + 1) if string else letters[0] * LONG
    start = draw(st.integers(0, len(string)))
    needle = draw(st.one_of(
        st.just(string[start:start + draw(st.integers(0, 8))]),
        st.text(alphabet=st.sampled_from(letters + ["\u20ac"]), max_size=5),
    ))
    return string, needle


@settings(max_examples=examples(300), derandomize=True, database=None, deadline=None,
          suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large])
@given(string_and_needle())
def test_every_form_agrees_with_the_model(case):
    check_against_model(*case)


@pytest.mark.parametrize("repeat", [1, LONG])
@pytest.mark.parametrize("string, needle", [
    ("\x01\x01\x01", "\u0100"),
    ("\u0100\u0100", "\x01"),
    ("\x01\u0101\x01", "\u0101"),
    ("a\U00010100a", "\u0100"),
    ("\U0001F600\U0001F600", "\U0001F600"),
    ("\U0001F600a\U0001F600", "\U0001F600"),
    ("\U0010FFFF\U00010000", "\U00010000"),
    ("\U0001F600xy\U0001F600", "y\U0001F600"),
    ("\U0001F600xy\U0001F600", ""),
    ("\ud7ff\ue000\uffff", "\ue000"),
])
def test_odd_offsets_and_surrogate_pairs_at_the_ends(string, needle, repeat):
    check_against_model(string * repeat, needle)
    check_against_model(string * repeat, needle * 2)


@pytest.mark.parametrize("name", NAMES)
def test_a_needle_beyond_latin1_is_absent_from_latin1_text(name):
    string = "\xe9a\xff" * 300
    for needle in ["\u0100", "a\u20ac", "\U0001F600", "\xe9a\u0101"]:
        assert getattr(ostrel_lib, name)(string, needle) == []


def _utf8_error(bad):
    with pytest.raises(UnicodeEncodeError) as info:
        bad.encode("utf-8")
    return info.value


def _same_error(actual, expected):
    assert type(actual) is type(expected)
    assert str(actual) == str(expected)
    assert (actual.encoding, actual.object, actual.start, actual.end, actual.reason) == (
        expected.encoding, expected.object, expected.start, expected.end, expected.reason)


TEXTS = {"ascii": "abc", "latin-1": "\xe9bc", "bmp": "\u0436bc", "astral": "\U0001F600bc"}


@pytest.mark.parametrize("name", NAMES)
@pytest.mark.parametrize("kind", list(TEXTS))
@pytest.mark.parametrize("repeat", [1, LONG])
def test_a_lone_surrogate_raises_the_utf8_error_in_either_argument(name, kind, repeat):
    function = getattr(ostrel_lib, name)
    text = TEXTS[kind] * repeat
    for bad in ["\udc80", "a\ud83d", "\ud83d\ude00"[::-1]]:
        for args, culprit in [((text + bad, "b"), text + bad), ((text, bad), bad),
                              ((text, "b" + bad), "b" + bad), ((bad + text, bad), bad + text)]:
            with pytest.raises(UnicodeEncodeError) as info:
                function(*args)
            _same_error(info.value, _utf8_error(culprit))
    if name == "match_indices":
        with pytest.raises(UnicodeEncodeError) as info:
            ostrel_lib.utf16len(text + "\udc80")
        _same_error(info.value, _utf8_error(text + "\udc80"))


@pytest.mark.parametrize("unit", ["ab", "aab", "abaab", "\xe9a", "\u0436\u0437", "a\U0001F600"])
def test_long_periodic_texts(unit):
    # Far past the filter's warm-up: windows that agree on the period and
    # fail at its break switch the filter off and use the remembered prefix.
    broken = (unit * 7 + "c") * 300
    for needle in [unit * 5, unit * 5 + "c", "c" + unit * 5, unit * 40]:
        check_against_model(broken, needle)
        check_against_model(unit * 2000 + "c", needle)
        # Near misses only: every window agrees with all of the needle but
        # its first unit, or all but one unit after a remembered prefix.
        check_against_model(("c" + needle[1:] + "X" + needle[-1]) * 200, needle)


@pytest.mark.parametrize("letter", ["\xe9", "\u20ac", "\U0001F600"])
def test_long_uniform_runs_count_every_unit(letter):
    # Longer than any counting block, so a lane that overflowed would show.
    count = 300_000
    string = letter * count + "a" + letter
    units = len(letter.encode("utf-16-le")) // 2
    width = len(letter.encode())
    assert ostrel_lib.match_indices(string, "a") == [count]
    assert ostrel_lib.rmatch_utf16_indices(string, "a") == [count * units]
    assert ostrel_lib.match_byte_indices(string, "a") == [count * width]
    assert ostrel_lib.rmatch_byte_indices(string, "a" + letter) == [count * width]
    assert ostrel_lib.utf16len(string) == (count + 1) * units + 1
