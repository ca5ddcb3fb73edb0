"""The plain-Python idioms that ostrel_lib is measured against.

Each function is what a user without the module would write to get the same
answer, including any encoding step the idiom needs.
"""

import itertools
import re
from collections import deque


def re_finditer(s, sub):
    return [m.start() for m in re.finditer(re.escape(sub), s)]


def find_loop(s, sub):
    """Disjoint forward matches: each search resumes at the end of the last."""
    out = []
    m = len(sub)
    i = s.find(sub)
    while i >= 0:
        out.append(i)
        i = s.find(sub, i + m)
    return out


def rfind_loop(s, sub):
    """Disjoint reverse matches: each search ends at the start of the last."""
    out = []
    j = s.rfind(sub)
    while j >= 0:
        out.append(j)
        j = s.rfind(sub, 0, j)
    return out


def byte_find_loop(s, sub):
    return find_loop(s.encode(), sub.encode())


def byte_rfind_loop(s, sub):
    return rfind_loop(s.encode(), sub.encode())


def utf16_find_loop(s, sub):
    # A hit at an odd byte offset spans the halves of two code units, so it
    # is skipped; real hits are at even offsets and halve into unit indices.
    b = s.encode("utf-16-le")
    p = sub.encode("utf-16-le")
    m = len(p)
    out = []
    i = b.find(p)
    while i >= 0:
        if i & 1:
            i = b.find(p, i + 1)
        else:
            out.append(i >> 1)
            i = b.find(p, i + m)
    return out


def utf16_rfind_loop(s, sub):
    # After an odd (false) hit at j the next candidate must start before j,
    # i.e. end at or before j + m - 1.
    b = s.encode("utf-16-le")
    p = sub.encode("utf-16-le")
    m = len(p)
    out = []
    j = b.rfind(p)
    while j >= 0:
        if j & 1:
            j = b.rfind(p, 0, j + m - 1)
        else:
            out.append(j >> 1)
            j = b.rfind(p, 0, j)
    return out


def utf16_len(s):
    return len(s.encode("utf-16-le")) // 2


def gen_chunks(iterable, n):
    """Lists of up to n items; ends at the source's end or at a None item."""
    chunk = []
    for item in iterable:
        if item is None:
            break
        chunk.append(item)
        if len(chunk) == n:
            yield chunk
            chunk = []
    if chunk:
        yield chunk


def islice_chunks(iterable, n):
    # The islice idiom has no None rule; the benchmark sources hold no None.
    it = iter(iterable)
    return iter(lambda: list(itertools.islice(it, n)), [])


def drain(iterator):
    deque(iterator, maxlen=0)


def drain_gen(src, n):
    drain(gen_chunks(src, n))


def drain_islice(src, n):
    drain(islice_chunks(src, n))


def drain_zip(src, n):
    # Full chunks only: zip drops a short tail and knows no None end, which
    # changes nothing of what an item costs.
    drain(map(list, zip(*[iter(src)] * n, strict=False)))


def drain_batched(src, n):
    drain(map(list, itertools.batched(src, n)))  # Python 3.12+
