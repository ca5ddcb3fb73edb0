"""Seeded benchmark inputs: word text, its non-ASCII variants (Latin-1
range, Cyrillic, up to 4-byte characters), a periodic text, the
reverse-search trap and a short per-call string.

Everything comes from one `random.Random(1234)`, so two runs of the same
Python version measure the same bytes.
"""

import random
import string
import time

from peers import utf16_rfind_loop

SEED = 1234
LETTERS = string.ascii_lowercase
WORD_LENGTHS = range(1, 10)
# Planted so that "the" (and "e") are frequent, as in real prose.
COMMON_WORDS = ("the", "of", "and", "to", "in", "is", "that", "there", "then", "other")
WIDE_CHARS = ("\u00f1", "\u20ac", "\U0001f600")   # 2-, 3- and 4-byte UTF-8
LATIN1_CHARS = ("\u00f1", "\u00e9", "\u00fc")      # 2-byte UTF-8, all below U+0100
CYRILLIC = "".join(chr(c) for c in range(0x430, 0x44A))  # 2-byte UTF-8, below U+10000

# Longer than any word, no space: it cannot occur in the word texts.
ABSENT = "qwertyuiopasdfghjklz"
PERIODIC_NEEDLE = "ab" * 40
SMALL_TEXT = "pack my box with five dozen liquor jugs!"
SMALL_NEEDLE = "box"
# A short call with several hits: "o" occurs four times.
PANGRAM = "the quick brown fox jumps over the lazy dog"


def ascii_words(rng, size):
    """`size` characters of lowercase words separated by single spaces."""
    pieces, length, batch = [], 0, 4096
    while length < size:
        lengths = rng.choices(WORD_LENGTHS, k=batch)
        letters = "".join(rng.choices(LETTERS, k=sum(lengths)))
        common = rng.choices(COMMON_WORDS, k=batch)
        planted = rng.choices((True, False), weights=(1, 4), k=batch)
        words, pos = [], 0
        for n, plant, word in zip(lengths, planted, common, strict=True):
            words.append(word if plant else letters[pos:pos + n])
            pos += n
        piece = " ".join(words) + " "
        pieces.append(piece)
        length += len(piece)
    return "".join(pieces)[:size]


def sprinkle_wide(rng, text, fraction, chars=WIDE_CHARS):
    """`text` with `fraction` of its letters replaced by wide code points."""
    wide, chars = chars, list(text)
    letters = len(text) - text.count(" ")
    left = int(letters * fraction)
    while left:
        i = rng.randrange(len(chars))
        # Only untouched letters count, so exactly `fraction` is replaced.
        if chars[i] in LETTERS:
            chars[i] = rng.choice(wide)
            left -= 1
    return "".join(chars)


def cyrillic_words(rng, size):
    """Words of Cyrillic letters (the ASCII word text, letter for letter)."""
    return ascii_words(rng, size).translate(
        {ord(a): c for a, c in zip(LETTERS, CYRILLIC, strict=True)})


def periodic(half_size):
    return "ab" * half_size + "c"


def trap_needle(m):
    # CPython's rfind tests the needle's first character before anything
    # else, so "b" + "a"*(m-1) over a's is dismissed in one comparison per
    # position. Putting the odd byte second makes every aligned position
    # compare the whole run of a's before it fails at the "b".
    return "ab" + "a" * (m - 2)


def trap_size(n, m, budget):
    """Largest haystack length <= n whose slowest rfind peer fits `budget` s.

    The peer's cost grows with (n - m) positions of ~m comparisons each, so
    a probe on a short haystack extrapolates linearly in n.
    """
    probe = max(4 * m, n // 16)
    if probe >= n:
        return n, None
    start = time.perf_counter()
    utf16_rfind_loop("a" * probe, trap_needle(m))
    per_position = (time.perf_counter() - start) / (probe - m + 1)
    estimate = per_position * (n - m + 1)
    if estimate <= budget:
        return n, estimate
    shrunk = int(budget / 2 / per_position) + m - 1
    return shrunk, per_position * (shrunk - m + 1)


def build(sizes):
    """All inputs for one run; `sizes` is the run profile (quick or full)."""
    rng = random.Random(SEED)
    ascii_text = ascii_words(rng, sizes["text"])
    wide_text = sprinkle_wide(rng, ascii_text, 0.10)
    n, estimate = trap_size(sizes["trap_text"], sizes["trap_needle"], budget=60.0)
    assert len(SMALL_TEXT) == 40 and SMALL_TEXT.count(SMALL_NEEDLE) == 1
    # Widest character below U+0100 and below U+10000 (half the size: two
    # bytes a character in memory and in UTF-8).
    latin1_text = sprinkle_wide(rng, ascii_text, 0.10, LATIN1_CHARS)
    cyrillic_text = cyrillic_words(rng, sizes["text"] // 2)
    return {
        "latin1": latin1_text,
        "cyrillic": cyrillic_text,
        "ascii": ascii_text,
        "wide": wide_text,
        "periodic": periodic(sizes["periodic_half"]),
        "trap": "a" * n,
        "trap_needle": trap_needle(sizes["trap_needle"]),
        "trap_requested": sizes["trap_text"],
        "trap_estimate": estimate,
        "small": SMALL_TEXT,
        "chunk_items": sizes["chunk_items"],
    }
