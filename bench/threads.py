"""Speed-ups from threads: the same searches over distinct 10 MB texts from
one thread, from two, and from as many as the machine has, with `str.find`
from threads as the peer (it keeps the interpreter lock while it scans).

Run after installing the module: `python bench/threads.py [--quick]
[--repeat N] [--json PATH]`. Every round times each case at each thread
count once, in turn; the table gives the one-thread median and the
speed-ups (one-thread time over k-thread time, the same total work).
A wrong answer makes the exit status 1, a missed target never does.
"""

import argparse
import json
import os
import statistics
import sys
import threading
import time

sys.dont_write_bytecode = True   # the sibling modules must not leave caches

try:
    import ostrel_lib
except ImportError as exc:
    sys.exit(f"ostrel_lib is not importable ({exc}); install it first: "
             "python -m pip install .")

import inputs  # noqa: E402

# Each thread count splits the same list of texts, one text per thread at
# the most threads; one thread searches them all.
TARGET_TWO_THREADS = 1.6   # absent needle, ASCII text
ABSENT_CYRILLIC = inputs.ABSENT.translate(
    {ord(a): c for a, c in zip(inputs.LETTERS, inputs.CYRILLIC, strict=True)})


def distinct(text, count):
    """`count` rotations of `text`: different strs of the same make-up."""
    step = len(text) // count
    return [text[k * step:] + text[:k * step] for k in range(count)]


def build_cases(size, count):
    rng = inputs.random.Random(inputs.SEED)
    ascii_texts = distinct(inputs.ascii_words(rng, size), count)
    # Two bytes a character in memory: as many bytes as the ASCII text.
    ucs2_texts = distinct(inputs.cyrillic_words(rng, size // 2), count)
    m = ostrel_lib
    return [
        # name, texts, call, whether it is the module's (the bar applies)
        ("absent, ASCII", ascii_texts, lambda s: m.match_indices(s, inputs.ABSENT), True),
        ("absent, ASCII  str.find", ascii_texts, lambda s: s.find(inputs.ABSENT), False),
        ("absent, UCS-2", ucs2_texts, lambda s: m.match_indices(s, ABSENT_CYRILLIC), True),
        ("absent, UCS-2  str.find", ucs2_texts, lambda s: s.find(ABSENT_CYRILLIC), False),
        ("dense 'e', ASCII", ascii_texts, lambda s: m.match_indices(s, "e"), True),
        ("dense 'e', UCS-2 bytes", ucs2_texts, lambda s: m.match_byte_indices(s, "е"), True),
    ]


def run_split(call, texts, threads, repeat, expected):
    """Seconds for `threads` threads to search `texts` `repeat` times over,
    the texts dealt out round-robin; checks every answer."""
    shares = [texts[k::threads] for k in range(threads)]
    barrier = threading.Barrier(threads + 1)
    wrong = []

    def work(share):
        barrier.wait()
        for _ in range(repeat):
            for text in share:
                if call(text) != expected[id(text)]:
                    wrong.append(text[:20])

    workers = [threading.Thread(target=work, args=(share,)) for share in shares]
    for worker in workers:
        worker.start()
    barrier.wait()
    start = time.perf_counter()
    for worker in workers:
        worker.join()
    elapsed = time.perf_counter() - start
    return elapsed, bool(wrong)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="1 MB texts, 3 rounds")
    parser.add_argument("--repeat", type=int, metavar="N", help="rounds (default 7)")
    parser.add_argument("--json", metavar="PATH", help="also dump the raw samples here")
    args = parser.parse_args()
    size = 1_000_000 if args.quick else 10_000_000
    rounds = args.repeat or (3 if args.quick else 7)
    cpus = os.cpu_count() or 1
    counts = sorted({1, 2, max(2, cpus)})
    most = counts[-1]

    print(f"building {most} texts of {size // 1_000_000} MB per kind ...", flush=True)
    cases = build_cases(size, most)
    failed = False
    plans = []
    for name, texts, call, ours in cases:
        expected = {id(text): call(text) for text in texts}
        # About 0.3 s of one-thread work per sample, whatever the machine.
        start = time.perf_counter()
        call(texts[0])
        once = max(time.perf_counter() - start, 1e-6)
        repeat = max(1, round(0.3 / (once * len(texts))))
        plans.append((name, texts, call, ours, expected, repeat))

    samples = {(plan[0], k): [] for plan in plans for k in counts}
    for _ in range(rounds):
        for name, texts, call, _ours, expected, repeat in plans:
            for k in counts:
                seconds, wrong = run_split(call, texts, k, repeat, expected)
                if wrong:
                    print(f"WRONG RESULT: {name} from {k} threads")
                    failed = True
                samples[name, k].append(seconds / (repeat * len(texts)))

    # What the UTF-16 copy of a UCS-2 text costs (made with the lock held,
    # before the scan is released), next to the whole call.
    ucs2, search = cases[2][1][0], cases[2][2]
    copies, calls = [], []
    for _ in range(15):
        copies.append(timed(lambda: ucs2.encode("utf-16")))
        calls.append(timed(lambda: search(ucs2)))
    copy, call = statistics.median(copies), statistics.median(calls)

    header = (f"{'case':<26}{'1 thread':>12}"
              + "".join(f"{f'{k} threads':>12}" for k in counts[1:]) + "   target")
    print(f"\nCPU count {cpus}, load average {os.getloadavg()[0]:.2f} at the end; "
          f"{rounds} rounds, median per-search time, speed-up over one thread")
    print(header)
    print("-" * len(header))
    for name, _texts, _call, ours, _expected, _repeat in plans:
        one = statistics.median(samples[name, 1])
        cells = "".join(f"{one / statistics.median(samples[name, k]):>11.2f}×"
                        for k in counts[1:])
        two = one / statistics.median(samples[name, 2])
        if not ours:
            target = "peer"
        elif name == "absent, ASCII":
            target = f">= {TARGET_TWO_THREADS}× from 2: " + (
                "met" if two >= TARGET_TWO_THREADS else "MISSED")
        else:
            target = ">= 1.0× from 2: " + ("met" if two >= 1.0 else "MISSED")
        print(f"{name:<26}{one * 1e3:>9.2f} ms{cells}   {target}")
    print(f"\nUCS-2 text: the UTF-16 copy (lock held) takes {copy * 1e3:.2f} ms of the "
          f"{call * 1e3:.2f} ms call ({copy / call:.0%})")

    if args.json:
        with open(args.json, "w", encoding="utf-8") as out:
            json.dump({f"{name} x{k}": v for (name, k), v in samples.items()}, out, indent=1)
    return 1 if failed else 0


def timed(fn):
    start = time.perf_counter()
    fn()
    return time.perf_counter() - start


if __name__ == "__main__":
    sys.exit(main())
