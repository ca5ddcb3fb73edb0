"""Side-by-side timings of ostrel_lib against the Python idioms it replaces.

Run after installing the module: `python bench/run.py [--quick] [--repeat N]
[--chart PATH] [--json PATH]`. Prints one table of medians and ratios and
draws the ratios as a bar chart; a wrong answer from either side stops the
case and makes the exit status non-zero, a missed target never does.
"""

import argparse
import datetime
import json
import os
import platform
import sys
import time

sys.dont_write_bytecode = True   # the sibling modules must not leave caches

try:
    import ostrel_lib
except ImportError as exc:
    sys.exit(f"ostrel_lib is not importable ({exc}); install it first: "
             "python -m pip install .")

import inputs  # noqa: E402
from cases import all_cases  # noqa: E402
from timing import interleave, time_once  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))

PROFILES = {
    "full": dict(text=10_000_000, periodic_half=2_500_000, trap_text=1_000_000,
                 trap_needle=10_000, chunk_items=2_000_000, rounds=5, slow_rounds=3,
                 sample=0.01),
    "quick": dict(text=200_000, periodic_half=50_000, trap_text=100_000,
                  trap_needle=2_000, chunk_items=50_000, rounds=3, slow_rounds=3,
                  sample=0.002),
}

COLUMNS = (("case", 29), ("ours", 9), ("ours min–max", 19), ("best peer", 20),
           ("peer", 9), ("peer/ours", 9), ("ours/floor", 21), ("target", 20),
           ("status", 6))


def fmt_time(t):
    if t < 1e-6:
        return f"{t * 1e9:.0f} ns"
    if t < 1e-3:
        return f"{t * 1e6:.1f} µs"
    if t < 1:
        return f"{t * 1e3:.1f} ms"
    return f"{t:.2f} s"


def first_difference(a, b):
    if not (isinstance(a, list) and isinstance(b, list)):
        return f"ours {a!r:.60}, peer {b!r:.60}"
    k = next((i for i, (x, y) in enumerate(zip(a, b, strict=False)) if x != y), min(len(a), len(b)))
    return (f"{len(a)} vs {len(b)} positions, first difference at #{k}: "
            f"ours {a[k:k + 3]}, peer {b[k:k + 3]}")


def verify(case):
    """Mismatch description or None; also the one-off peer timings."""
    once = {}
    try:
        if case.verify is not None:
            return case.verify(), once
        ours = case.ours()
    except Exception as exc:   # a raising module call is a wrong answer too
        return f"ours raised {type(exc).__name__}: {exc}", once
    for peer in case.peers:
        if case.peers_once:
            once[peer.label], result = time_once(peer)
        else:
            result = peer()
        if result != ours:
            return f"{peer.label}: {first_difference(ours, result)}", once
    return None, once


def measure(case, rounds, sample):
    """Samples of ours, the repeatable peers and the floors, by label."""
    timed = [case.ours] + ([] if case.peers_once else case.peers) + case.floors
    return {r.label: r for r in interleave(timed, rounds, sample if case.small else None)}


def run_case(case, rounds, sample):
    problem, once = verify(case)
    row = {"group": case.group, "tag": case.tag, "case": case.name, "error": problem}
    if problem:
        return row
    samples = measure(case, rounds, sample)
    ours = samples["ours"]
    peer_medians = {p.label: samples[p.label].median if p.label in samples
                    else once[p.label] for p in case.peers}
    floor_medians = {f.label: samples[f.label].median for f in case.floors}
    best = min(peer_medians, key=peer_medians.get)
    met = None
    if case.target is not None:
        met = bool(case.target.check(ours.median, peer_medians, floor_medians))
    row.update(
        ours=ours.median, ours_min=min(ours.seconds), ours_max=max(ours.seconds),
        best_peer=best, peer=peer_medians[best], ratio=peer_medians[best] / ours.median,
        floors={k: ours.median / v for k, v in floor_medians.items()},
        target=case.target.text if case.target else "—",
        status={None: "—", True: "met", False: "MISSED"}[met],
        raw={label: {"loops": s.loops, "seconds": s.seconds} for label, s in samples.items()},
        peers_once=dict(once),
    )
    return row


def format_row(row):
    if row["error"]:
        return f"  {row['case']:<29} WRONG RESULT — {row['error']}"
    short = {"one s.find": "find", "s.encode()": "encode", "re.finditer": "re",
             "list(range)": "ints", "s.encode('utf-16-le')": "utf16"}
    floors = ", ".join(f"{v:.2f}× {short.get(k, k)}" for k, v in row["floors"].items()) or "—"
    cells = (row["case"], fmt_time(row["ours"]),
             f"{fmt_time(row['ours_min'])}–{fmt_time(row['ours_max'])}",
             row["best_peer"], fmt_time(row["peer"]), f"{row['ratio']:.2f}×",
             floors, row["target"], row["status"])
    line = "  " + " ".join(f"{c:<{w}}" for c, (_, w) in zip(cells, COLUMNS, strict=True))
    return line.rstrip()


def draw_chart(rows, path, title):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("note: matplotlib is not installed (pip install 'matplotlib>=3.5'); "
              "no chart drawn")
        return None
    rows = [r for r in rows if not r["error"]][::-1]   # first case on top
    colours = {"met": "#2a9d8f", "MISSED": "#e76f51", "—": "#8d99ae"}
    labels = [f"{r['tag']}: {' '.join(r['case'].split())}" for r in rows]
    fig, ax = plt.subplots(figsize=(11, 0.22 * len(rows) + 1.6))
    # Bars grow from 1.0: right for cases where the module is faster, left
    # where a peer wins, so the length on the log axis is the speed factor.
    ratios = [r["ratio"] for r in rows]
    ax.barh(range(len(rows)), [x - 1 for x in ratios], left=1,
            color=[colours[r["status"]] for r in rows])
    for y in range(1, len(rows)):
        if rows[y]["group"] != rows[y - 1]["group"]:
            ax.axhline(y - 0.5, color="grey", linewidth=0.5)
    for y, r in enumerate(rows):
        right = r["ratio"] >= 1
        ax.text(r["ratio"] * (1.08 if right else 0.93), y, f"{r['ratio']:.2f}×",
                va="center", ha="left" if right else "right", fontsize=7)
    ax.set_yticks(range(len(rows)), labels, fontsize=7)
    ax.set_xscale("log")
    ax.axvline(1.0, color="black", linewidth=1)
    ax.set_ylim(-0.7, len(rows) - 0.3)
    ax.set_xlim(min(min(ratios), 1) / 3, max(max(ratios), 1) * 3)
    ax.set_xlabel("best peer time / ostrel_lib time (log scale; right of 1.0: ostrel_lib faster)")
    ax.set_title(title, fontsize=9)
    ax.legend(handles=[plt.Rectangle((0, 0), 1, 1, color=c) for c in colours.values()],
              labels=["target met", "target missed", "no target"], loc="lower right",
              fontsize=8)
    ax.grid(axis="x", which="both", alpha=0.3)
    fig.savefig(path, dpi=110, bbox_inches="tight")
    plt.close(fig)
    return path


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true",
                        help="small inputs and few rounds (a smoke run)")
    parser.add_argument("--repeat", type=int, metavar="N",
                        help="rounds per case (default 5, 3 for ChunksIter; 3 with --quick)")
    parser.add_argument("--chart", metavar="PATH",
                        help="bar chart PNG (default bench/ratios.png; none with --only)")
    parser.add_argument("--json", metavar="PATH", help="also dump the raw samples here")
    parser.add_argument("--only", metavar="TEXT",
                        help="run only the cases whose group, name or tag contains TEXT")
    args = parser.parse_args()
    profile = PROFILES["quick" if args.quick else "full"]
    if args.repeat is not None and args.repeat < 1:
        parser.error("--repeat must be at least 1")
    rounds = args.repeat or profile["rounds"]
    slow_rounds = args.repeat or profile["slow_rounds"]

    started = time.perf_counter()
    when = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    data = inputs.build(profile)
    cpu = platform.processor() or platform.system()
    machine = f"{platform.machine()}, {os.cpu_count()} CPUs, {cpu}"
    print(f"ostrel_lib {ostrel_lib.__version__} on Python {platform.python_version()} "
          f"({platform.python_implementation()}), {machine}; {when}")
    print(f"profile {'quick' if args.quick else 'full'}, {rounds} rounds "
          f"({slow_rounds} for ChunksIter), "
          f"inputs built in {time.perf_counter() - started:.1f} s; seed {inputs.SEED}")
    notes = []
    if len(data["trap"]) < data["trap_requested"]:
        notes.append(f"reverse trap haystack shrunk from {data['trap_requested']:_} to "
                     f"{len(data['trap']):_} characters: the rfind loop would exceed 60 s")
    print("times are per call (medians); peer/ours > 1 means ostrel_lib is faster; "
          "ours/floor < 1 means ostrel_lib beats the floor\n")
    print("  " + " ".join(f"{name:<{w}}" for name, w in COLUMNS).rstrip())

    rows, group = [], None
    for case in all_cases(data):
        if args.only and not any(args.only in t for t in (case.group, case.name, case.tag)):
            continue
        if case.group != group:
            group = case.group
            print(group)
        row = run_case(case, slow_rounds if case.slow else rounds, profile["sample"])
        rows.append(row)
        print(format_row(row), flush=True)

    good = [r for r in rows if not r["error"]]
    wrong = [r for r in rows if r["error"]]
    tally = {s: sum(r["status"] == s for r in good) for s in ("met", "MISSED")}
    print(f"\ntargets: {tally['met']} met, {tally['MISSED']} missed; "
          f"{len(wrong)} wrong results; {time.perf_counter() - started:.0f} s in all")
    for note in notes:
        print(f"note: {note}")
    if args.chart is None and not args.only:
        args.chart = os.path.join(HERE, "ratios.png")
    if good and args.chart:
        chart = draw_chart(good, args.chart, f"ostrel_lib {ostrel_lib.__version__}, "
                           f"Python {platform.python_version()}, {machine}, {when}")
        if chart:
            print(f"chart: {chart}")
    if args.json:
        with open(args.json, "w", encoding="utf-8") as out:
            json.dump({"when": when, "machine": machine, "python": sys.version,
                       "version": ostrel_lib.__version__, "rounds": rounds,
                       "slow_rounds": slow_rounds,
                       "profile": profile, "notes": notes, "rows": rows}, out, indent=1)
        print(f"raw samples: {args.json}")
    if wrong:
        print(f"error: {len(wrong)} case(s) gave a result different from the peers",
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
