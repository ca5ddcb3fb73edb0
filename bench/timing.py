"""Interleaved timing of several callables over the same input.

Every round takes one sample of each callable in turn, so a burst of machine
noise lands on all of them instead of on whichever happened to run then.
"""

import gc
import itertools
import statistics
import time
from dataclasses import dataclass, field


@dataclass
class Call:
    """One timed callable: fn(*args), under a label shown in the table."""

    label: str
    fn: object
    args: tuple
    # Time every call on fresh copies of its str arguments, made outside the
    # clock, so that nothing a str caches inside itself flatters a figure.
    fresh: bool = False

    def __call__(self):
        return self.fn(*self.args)


def _fresh_copy(value):
    return (value + " ")[:-1] if isinstance(value, str) else value


def _timed_fresh(call, loops):
    total = 0.0
    for _ in range(loops):
        args = [_fresh_copy(a) for a in call.args]
        start = time.perf_counter()
        call.fn(*args)
        total += time.perf_counter() - start
    return total / loops


@dataclass
class Samples:
    """Per-call seconds of one callable, one entry per round."""

    label: str
    loops: int
    seconds: list = field(default_factory=list)

    @property
    def median(self):
        return statistics.median(self.seconds)


def _timed(call, loops):
    # Arity-specific loops keep the `*args` unpacking out of the measured
    # code; for calls of ~100 ns that overhead would dominate the figure.
    if call.fresh:
        return _timed_fresh(call, loops)
    fn = call.fn
    repeat = itertools.repeat(None, loops)
    if len(call.args) == 1:
        (a,) = call.args
        start = time.perf_counter()
        for _ in repeat:
            fn(a)
        end = time.perf_counter()
    elif len(call.args) == 2:
        a, b = call.args
        start = time.perf_counter()
        for _ in repeat:
            fn(a, b)
        end = time.perf_counter()
    else:
        args = call.args
        start = time.perf_counter()
        for _ in repeat:
            fn(*args)
        end = time.perf_counter()
    return (end - start) / loops


def calibrate(call, sample_seconds):
    """Loops per sample so that one sample lasts about `sample_seconds`."""
    loops = 1
    while True:
        per_call = _timed(call, loops)
        if per_call * loops >= sample_seconds / 10 or loops >= 1 << 24:
            break
        loops *= 10
    return max(1, min(1 << 24, round(sample_seconds / max(per_call, 1e-9))))


def interleave(calls, rounds, sample_seconds=None):
    """Time `calls` in `rounds` rounds; returns one Samples per call.

    With `sample_seconds` each sample repeats its call enough times to last
    about that long (small inputs); without it, one call per sample.

    The order inside a round rotates, so no callable always runs right after
    the same neighbour (cache state, frequency ramps). The collector is off
    while sampling, as in `timeit`, and runs between rounds instead.
    """
    results = [Samples(c.label, 1 if sample_seconds is None
                       else calibrate(c, sample_seconds)) for c in calls]
    order = list(range(len(calls)))
    enabled = gc.isenabled()
    try:
        for r in range(rounds):
            gc.collect()
            gc.disable()
            for k in order[r % len(order):] + order[:r % len(order)]:
                results[k].seconds.append(_timed(calls[k], results[k].loops))
            if enabled:
                gc.enable()
    finally:
        if enabled:
            gc.enable()
    return results


def time_once(call):
    """One timed run and its result, for callables too slow to repeat."""
    gc.collect()
    start = time.perf_counter()
    result = call()
    return time.perf_counter() - start, result
