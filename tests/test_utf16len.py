"""utf16len: the length of a str in UTF-16 code units, checked on fixed texts, at
the boundaries of every UTF-8 length, and against the interpreter's own UTF-16
encoder on seeded random text."""

import pytest

from ostrel_lib import utf16len


def reference(text):
    return len(text.encode("utf-16-le")) // 2


@pytest.mark.parametrize("text, expected", [
    ("", 0),
    ("\u0061", 1),
    ("\u00f1", 1),
    ("\u20ac", 1),
    ("\U0001F600", 2),
    ("\u0061\U0001F600", 3),
    ("\u0061\u00f1\u20ac\U0001F600", 5),
    ("\x00", 1),
    ("\x00\U0001F600\x00", 4),
])
def test_fixed_texts(text, expected):
    result = utf16len(text)
    assert type(result) is int
    assert result == expected


# The last and first code point of each UTF-8 length, and the edges of the surrogate gap.
BOUNDARY_CODE_POINTS = [0x00, 0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xE000, 0xFFFF, 0x10000, 0x10FFFF]


@pytest.mark.parametrize("code_point", BOUNDARY_CODE_POINTS, ids=hex)
def test_boundary_code_points(code_point):
    char = chr(code_point)
    assert utf16len(char) == (2 if code_point >= 0x10000 else 1)
    assert utf16len(char * 37 + "a") == reference(char * 37 + "a")


def test_agrees_with_the_utf16_encoder_on_random_text(rng):
    ranges = [(0x00, 0x7F), (0x80, 0x7FF), (0x800, 0xD7FF), (0xE000, 0xFFFF), (0x10000, 0x10FFFF)]
    for _ in range(400):
        # Lengths straddle a few machine words, where word-at-a-time counting starts.
        length = rng.choice([rng.randrange(0, 40), rng.randrange(40, 300)])
        weights = [rng.random() for _ in ranges]
        text = "".join(
            chr(rng.randint(*rng.choices(ranges, weights)[0])) for _ in range(length)
        )
        assert utf16len(text) == reference(text), ascii(text)


def test_large_text():
    text = ("ab\U0001F600\u20ac" * 250_000) + "z"
    assert utf16len(text) == 5 * 250_000 + 1


def test_str_subclass_and_keyword():
    class Text(str):
        def __len__(self):
            return 0

    assert utf16len(Text("\U0001F600\U0001F600")) == 4
    assert utf16len(string="\U0001F600x") == 3
    assert utf16len(string=Text("x")) == 1
