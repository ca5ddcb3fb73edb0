"""Read-every-byte costs per vector width, as ratios to one memchr pass.

Each row times one ostrel_lib call next to its floor in the same process,
call after call, and reports the median ratio:

- ASCII, absent 20-character needle: one memchr pass over as many bytes
  (`bytes.find(b"\\x01")`, which the C library runs at its widest vectors);
- Latin-1 and UCS-2 text, absent needle: the encode the limited API forces
  plus one memchr pass over its result;
- dense one-byte needle ("e" in the word text): the int objects of as many
  positions, `list(range(257, 257 + hits))`.

    python bench/widths.py                        # the importable module, every width it runs
    python bench/widths.py --build before=DIR --build after=DIR2

A build is a directory holding an ostrel_lib extension, put first on the
path of a child process; builds and widths take turns round by round, so
that a noisy machine spreads its noise over all of them.
"""

import argparse
import json
import os
import pickle
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

NAMES = ("match_indices", "match_utf16_indices", "match_byte_indices",
         "rmatch_indices", "rmatch_utf16_indices", "rmatch_byte_indices")


def make_inputs(path, megabytes):
    import random

    from inputs import ABSENT, LATIN1_CHARS, SEED, ascii_words, cyrillic_words, sprinkle_wide
    rng = random.Random(SEED)
    size = int(megabytes * 1_000_000)
    ascii_text = ascii_words(rng, size)
    data = {"ascii": ascii_text,
            "latin1": sprinkle_wide(rng, ascii_text, 0.10, LATIN1_CHARS),
            "ucs2": cyrillic_words(rng, size // 2),
            "absent": ABSENT}
    with open(path, "wb") as out:
        pickle.dump(data, out)


def clock(call, args):
    start = time.perf_counter()
    call(*args)
    return time.perf_counter() - start


def measure(inputs_path, repeat):
    """One child's rows: {row: [(ours, floor) seconds per repeat]}."""
    import ostrel_lib as ol
    with open(inputs_path, "rb") as f:
        data = pickle.load(f)
    absent = data["absent"]
    ascii_text = data["ascii"]
    ascii_bytes = ascii_text.encode()
    rows = {}

    def row(name, ours, floor):
        pairs = []
        for _ in range(repeat):
            f = floor()
            o = ours()
            pairs.append((o, f))
        rows[name] = pairs

    for name in NAMES:
        fn = getattr(ol, name)
        row(f"ascii absent {name}", lambda fn=fn: clock(fn, (ascii_text, absent)),
            lambda: clock(ascii_bytes.find, (b"\x01",)))
    for label, text, codec in (("latin1", data["latin1"], "latin-1"),
                               ("ucs2", data["ucs2"], "utf-16-le")):
        needle = absent if label == "latin1" else absent.translate(
            {ord(c): 0x430 + (ord(c) - 97) for c in absent})
        assert needle not in text

        def floor(text=text, codec=codec):
            start = time.perf_counter()
            encoded = text.encode(codec)
            encoded.find(b"\x01")
            return time.perf_counter() - start
        for name in NAMES:
            fn = getattr(ol, name)
            row(f"{label} absent {name}", lambda fn=fn, t=text, n=needle: clock(fn, (t, n)), floor)
    hits = ascii_text.count("e")
    for name in NAMES:
        fn = getattr(ol, name)
        row(f"dense 'e' {name}", lambda fn=fn: clock(fn, (ascii_text, "e")),
            lambda: clock(lambda: list(range(257, 257 + hits)), ()))
    return rows


def child_main(args):
    print(json.dumps(measure(args.inputs, args.repeat)))


def widths_here(env_path):
    """The widths the module at env_path imports with."""
    found = []
    for width in ("plain", "16", "32", "64"):
        env = dict(os.environ, OSTREL_VECTOR_WIDTH=width)
        if env_path:
            env["PYTHONPATH"] = env_path
        ok = subprocess.run([sys.executable, "-c", "import ostrel_lib"], env=env,
                            capture_output=True).returncode == 0
        if ok:
            found.append(width)
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", action="append", default=[],
                        help="LABEL=DIR: a directory holding an ostrel_lib build")
    parser.add_argument("--widths", default="",
                        help="comma-separated widths to run (default: each the build imports with;"
                             " 'default' for no OSTREL_VECTOR_WIDTH)")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--repeat", type=int, default=5, help="calls per row per round")
    parser.add_argument("--megabytes", type=float, default=10.0)
    parser.add_argument("--child", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--inputs", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.child:
        return child_main(args)

    builds = [b.split("=", 1) for b in args.build] or [["module", ""]]
    runs = []
    for label, path in builds:
        path = str(Path(path).resolve()) if path else ""
        widths = args.widths.split(",") if args.widths else widths_here(path)
        runs += [(f"{label}@{w}", path, w) for w in widths]
    with tempfile.TemporaryDirectory() as tmp:
        inputs = os.path.join(tmp, "inputs.pickle")
        make_inputs(inputs, args.megabytes)
        results = {name: {} for name, _, _ in runs}
        for round_no in range(args.rounds):
            for name, path, width in runs:
                env = dict(os.environ)
                env.pop("OSTREL_VECTOR_WIDTH", None)
                if width != "default":
                    env["OSTREL_VECTOR_WIDTH"] = width
                if path:
                    env["PYTHONPATH"] = path
                out = subprocess.run(
                    [sys.executable, __file__, "--child", "--inputs", inputs,
                     "--repeat", str(args.repeat)],
                    env=env, capture_output=True, text=True, check=True).stdout
                for row, pairs in json.loads(out).items():
                    results[name].setdefault(row, []).extend(pairs)
            print(f"round {round_no + 1}/{args.rounds} done", file=sys.stderr)
    names = [name for name, _, _ in runs]
    rows = list(results[names[0]])
    width = max(len(r) for r in rows)
    # The median of the per-call ratios, and the ratio of the fastest calls,
    # which a busy machine disturbs least.
    print(f"{'ratio to floor: median / of minima':<{width}}  " +
          "  ".join(f"{n:>17}" for n in names))
    for row in rows:
        cells = []
        for n in names:
            pairs = results[n][row]
            median = statistics.median(o / f for o, f in pairs)
            best = min(o for o, _ in pairs) / min(f for _, f in pairs)
            cells.append(f"{median:.2f} / {best:.2f}")
        print(f"{row:<{width}}  " + "  ".join(f"{c:>17}" for c in cells))
    floors = {row.split(" ")[0]: statistics.median(f for _, f in results[names[0]][row])
              for row in rows}
    print("median floor times: " + ", ".join(f"{k} {v * 1e3:.3f} ms" for k, v in floors.items()))


if __name__ == "__main__":
    main()
