"""The benchmark cases: each pairs one ostrel_lib call with the peers that
compute the same answer, the floors it is compared to, and its target.

A peer must return exactly what the module returns (checked before timing);
a floor is a reference cost (one native scan, one encode) with no answer.
"""

import itertools
from dataclasses import dataclass, field

import peers as P
from inputs import ABSENT, CYRILLIC, LETTERS, PANGRAM, PERIODIC_NEEDLE, SMALL_NEEDLE
from timing import Call

import ostrel_lib as ol


@dataclass
class Target:
    """A goal over the medians: `check(ours, peers, floors)` -> bool."""

    text: str
    check: object


@dataclass
class Case:
    group: str
    name: str
    ours: Call
    peers: list
    floors: list = field(default_factory=list)
    target: Target = None
    small: bool = False          # per-call overhead: many loops per sample
    peers_once: bool = False     # too slow to repeat: one timed run
    slow: bool = False           # ~1 s per call: fewer rounds by default
    verify: object = None        # custom check for results that are iterators
    tag: str = ""                # short group name for the chart


def _best(peers):
    return min(peers.values())


MANY = Target("≥5× best peer", lambda o, p, f: _best(p) >= 5 * o)
ONE_SCAN = Target("≤1.0× one s.find", lambda o, p, f: o <= f["one s.find"])
ENCODE = Target("≤1.5× s.encode()", lambda o, p, f: o <= 1.5 * f["s.encode()"])
FASTER = Target(">1× peer", lambda o, p, f: _best(p) > o)
U16_BIG = Target(">100× peer", lambda o, p, f: _best(p) > 100 * o)
TRAP = Target("≥100× rfind loop", lambda o, p, f: _best(p) >= 100 * o)
# re.finditer is a peer of match_indices and a floor of the other five.
SMALL = Target("≤2× s.find, <re",
               lambda o, p, f: o <= 2 * f["one s.find"] and o < {**p, **f}["re.finditer"])
# Non-ASCII text: at least as fast as the best peer; code points may add
# the cost of proving the text free of lone surrogates, one UTF-16 encode.
UTF16 = "s.encode('utf-16-le')"
NON_ASCII = Target(">1× peer", lambda o, p, f: _best(p) > o)
NON_ASCII_CP = Target("≤1.2×(peer+utf16)", lambda o, p, f: o <= 1.2 * (_best(p) + f[UTF16]))
GEN = Target("≥2× gen", lambda o, p, f: p["generator"] >= 2 * o)
GEN_ISLICE = Target("≥2× gen, >islice",
                    lambda o, p, f: p["generator"] >= 2 * o and p["islice"] > o)

# (module function, its peers) for each unit and direction.
FUNCTIONS = (
    (ol.match_indices, (("re.finditer", P.re_finditer), ("str.find loop", P.find_loop))),
    (ol.rmatch_indices, (("str.rfind loop", P.rfind_loop),)),
    (ol.match_utf16_indices, (("utf16 find loop", P.utf16_find_loop),)),
    (ol.rmatch_utf16_indices, (("utf16 rfind loop", P.utf16_rfind_loop),)),
    (ol.match_byte_indices, (("bytes find loop", P.byte_find_loop),)),
    (ol.rmatch_byte_indices, (("bytes rfind loop", P.byte_rfind_loop),)),
)


def _matching(group, tag, s, needle, label, target, floors=(), functions=FUNCTIONS):
    cases = []
    for fn, peer_fns in functions:
        cases.append(Case(
            group=group,
            name=f"{label:<8} {fn.__name__}",
            ours=Call("ours", fn, (s, needle)),
            peers=[Call(name, peer, (s, needle)) for name, peer in peer_fns],
            floors=list(floors),
            target=target,
            tag=tag,
        ))
    return cases


def _text_cases(data):
    ascii_text, wide = data["ascii"], data["wide"]
    a_mb, w_mb = len(ascii_text) / 1e6, len(wide.encode()) / 1e6
    g_ascii = f"ASCII words ({a_mb:.1f} MB)"
    g_wide = f"10% of letters 2-4 byte ({w_mb:.1f} MB UTF-8)"
    encode = Call("s.encode()", str.encode, (wide,))
    cases = []
    for needle, label in (("e", "'e'"), ("the", "'the'")):
        cases += _matching(g_ascii, "ascii", ascii_text, needle, label, MANY)
    cases += _matching(g_ascii, "ascii", ascii_text, ABSENT, "absent", ONE_SCAN,
                       floors=[Call("one s.find", ascii_text.find, (ABSENT,))])
    for needle, label in (("e", "'e'"), ("the", "'the'")):
        cases += _matching(g_wide, "2-4 byte", wide, needle, label, MANY, floors=[encode])
    cases += _matching(g_wide, "2-4 byte", wide, ABSENT, "absent", ENCODE, floors=[encode])
    periodic = data["periodic"]
    cases += _matching(f"periodic 'ab'*N+'c' ({len(periodic) / 1e6:.1f} MB)",
                       "periodic", periodic, PERIODIC_NEEDLE, "'ab'*40", None)
    return cases


def _non_ascii_cases(data):
    """Every function on text whose widest character is below U+0100, below
    U+10000 and above, with frequent, rare and absent needles, each call
    timed on a fresh copy of the string."""
    cyr = str.maketrans(dict(zip(LETTERS, CYRILLIC, strict=True)))
    groups = (
        ("Latin-1 range", "latin1", data["latin1"],
         (("'ñ'", "\u00f1"), ("'vxk'", "vxk"), ("absent", ABSENT), ("'É' absent", "\u00c9"))),
        ("Cyrillic", "cyrillic", data["cyrillic"],
         (("'е'", "e".translate(cyr)), ("'вхк'", "vxk".translate(cyr)),
          ("absent", ABSENT.translate(cyr)), ("'Ж' absent", "\u0416"))),
        ("1-4 byte", "2-4 byte", data["wide"],
         (("'😀'", "\U0001f600"), ("'vxk'", "vxk"), ("'É' absent", "\u00c9"))),
    )
    cases = []
    for title, tag, s, needles in groups:
        group = (f"{title}, widest {max(s)!r} ({len(s) / 1e6:.0f} M chars, "
                 f"{len(s.encode()) / 1e6:.1f} MB UTF-8), fresh copies")
        floor = Call(UTF16, str.encode, (s, "utf-16-le"), fresh=True)
        for label, needle in needles:
            for fn, peer_fns in FUNCTIONS:
                code_points = fn in (ol.match_indices, ol.rmatch_indices)
                cases.append(Case(
                    group=group, name=f"{label:<8} {fn.__name__}",
                    ours=Call("ours", fn, (s, needle), fresh=True),
                    peers=[Call(name, peer, (s, needle), fresh=True)
                           for name, peer in peer_fns],
                    floors=[floor] if code_points else [],
                    target=NON_ASCII_CP if code_points else NON_ASCII, tag=tag))
    return cases


def _trap_cases(data):
    hay, needle = data["trap"], data["trap_needle"]
    group = f"reverse trap ({len(hay) / 1e6:.2f} MB of 'a', {len(needle) / 1e3:.0f} kB needle)"
    reverse = [f for f in FUNCTIONS if f[0].__name__.startswith("rmatch")]
    cases = _matching(group, "trap", hay, needle, "ab+a*", TRAP, functions=reverse)
    for case in cases:
        case.peers_once = True
    return cases


def _utf16len_cases(data):
    group = "utf16len"
    cases = []
    for label, s, target in (("ASCII", data["ascii"], U16_BIG),
                             ("2-4 byte", data["wide"], FASTER),
                             ("40 chars", data["small"], FASTER)):
        cases.append(Case(group, f"{label:<8} utf16len", Call("ours", ol.utf16len, (s,)),
                          [Call("len(encode utf-16)", P.utf16_len, (s,))],
                          target=target, small=len(s) < 1000, tag="utf16len"))
    return cases


def _small_cases(data):
    s = data["small"]
    floors = [Call("one s.find", s.find, (SMALL_NEEDLE,)),
              Call("re.finditer", P.re_finditer, (s, SMALL_NEEDLE))]
    cases = _matching("40-char string, one match", "40 chars", s, SMALL_NEEDLE, "'box'", SMALL,
                      floors=floors)
    for case in cases:
        case.small = True
        # re.finditer is already a peer of match_indices; time it once there.
        if any(p.label == "re.finditer" for p in case.peers):
            case.floors = floors[:1]
    return cases


# Fixed costs: what one small call costs next to one native call, and what
# one reported position costs next to the int object that carries it.
CALL_FLOOR = Target("≤1.5× one native call", lambda o, p, f: o <= 1.5 * min(f.values()))
PER_HIT = Target("≤1.3× list(range)", lambda o, p, f: o <= 1.3 * f["list(range)"])
FIRST_UNCACHED_INT = 257   # the floor makes a new int object for every entry


def _int_list(k, n):
    return list(range(k, k + n))


def _fixed_cost_cases(data):
    s = PANGRAM
    cases = [
        Case("fixed costs: one call, one hit", "'o'      match_indices",
             Call("ours", ol.match_indices, (s, "o")),
             [Call("str.find loop", P.find_loop, (s, "o"))],
             floors=[Call("one s.find", s.find, ("o",))],
             target=CALL_FLOOR, small=True, tag="fixed"),
        Case("fixed costs: one call, one hit", "ASCII    utf16len",
             Call("ours", ol.utf16len, (s,)),
             [Call("len(encode utf-16)", P.utf16_len, (s,))],
             floors=[Call("len(s)", len, (s,))],
             target=CALL_FLOOR, small=True, tag="fixed"),
    ]
    text = data["ascii"]
    for needle, label in (("e", "'e'"), (" ", "' '")):
        hits = len(ol.match_indices(text, needle))
        cases.append(Case(
            f"fixed costs: per position ({len(text) / 1e6:.1f} MB ASCII words)",
            f"{label:<8} match_indices", Call("ours", ol.match_indices, (text, needle)),
            [Call("str.find loop", P.find_loop, (text, needle))],
            floors=[Call("list(range)", _int_list, (FIRST_UNCACHED_INT, hits))],
            target=PER_HIT, tag="fixed"))
    return cases


def _drain_ours(src, n):
    P.drain(ol.ChunksIter(src, n))


def _chunks_verify(src, n):
    def show(chunk):
        if chunk is None:
            return "end"
        return f"{len(chunk)} items" + (f" from {chunk[0]!r}" if chunk else "")

    def check():
        produced = (ol.ChunksIter(src, n), P.gen_chunks(src, n), P.islice_chunks(src, n))
        for k, (a, b, c) in enumerate(itertools.zip_longest(*produced)):
            if not a == b == c:
                return (f"chunk {k}: ours {show(a)}, generator {show(b)}, "
                        f"islice {show(c)}")
        return None
    return check


def _chunks_cases(data):
    items = data["chunk_items"]
    cases = []
    for tag, label, src in (("range", f"range({items:_})", range(items)),
                            ("list", f"list of {items:_} ints", list(range(items)))):
        for n in (1, 3, 100, 10_000):
            cases.append(Case(
                group=f"ChunksIter over {label}",
                name=f"chunk_size={n}",
                ours=Call("ours", _drain_ours, (src, n)),
                peers=[Call("generator", P.drain_gen, (src, n)),
                       Call("islice", P.drain_islice, (src, n))],
                target=GEN_ISLICE if n <= 3 else GEN,
                verify=_chunks_verify(src, n),
                tag=f"ChunksIter {tag}",
                slow=True,
            ))
    return cases


# ChunksIter next to the fastest standard-library idioms, with a consumer
# cheap enough (deque(maxlen=0)) that its own cost does not hide ours.
AS_ZIP = Target("≥1.0× zip idiom", lambda o, p, f: _best(p) >= o)


def _zip_verify(src, n):
    def check():
        ours = list(ol.ChunksIter(src, n))
        full = list(map(list, zip(*[iter(src)] * n, strict=False)))
        tail = list(src[len(full) * n:])
        if ours != full + ([tail] if tail else []):
            return (f"ours {len(ours)} chunks, zip idiom {len(full)} full chunks "
                    f"and a tail of {len(tail)}")
        if hasattr(itertools, "batched") and ours != list(map(list, itertools.batched(src, n))):
            return "ours and map(list, batched) differ"
        return None
    return check


def _chunks_zip_cases(data):
    items = data["chunk_items"]
    cases = []
    for tag, label, src in (("range", f"range({items:_})", range(items)),
                            ("list", f"list of {items:_} ints", list(range(items)))):
        for n in (1, 3, 16, 100, 10_000):
            peers = [Call("zip idiom", P.drain_zip, (src, n))]
            if hasattr(itertools, "batched"):
                peers.append(Call("batched", P.drain_batched, (src, n)))
            cases.append(Case(
                group=f"ChunksIter vs map(list, zip(*[iter(src)] * n)) over {label}",
                name=f"chunk_size={n}",
                ours=Call("ours", _drain_ours, (src, n)),
                peers=peers,
                target=AS_ZIP,
                verify=_zip_verify(src, n),
                tag=f"ChunksIter zip {tag}",
                slow=True,
            ))
    return cases


def all_cases(data):
    return (_text_cases(data) + _non_ascii_cases(data) + _trap_cases(data)
            + _utf16len_cases(data) + _small_cases(data) + _fixed_cost_cases(data)
            + _chunks_cases(data) + _chunks_zip_cases(data))
