"""Fixtures shared by the ostrel_lib tests: a seeded random source whose seed is
printed (so a failing run can be replayed with OSTREL_TEST_SEED), a helper that
runs a snippet in a fresh interpreter, a check that an address-space limit is
enforced, and Hypothesis's cache kept under build/ and its budget chosen by
OSTREL_HYPOTHESIS_PROFILE."""

import os
import random
import subprocess
import sys
from pathlib import Path

import pytest
from hypothesis import Phase, settings
from hypothesis.configuration import set_hypothesis_home_dir

# Hypothesis would otherwise leave a .hypothesis directory in the working directory.
set_hypothesis_home_dir(Path(__file__).resolve().parent.parent / "build" / "hypothesis")

# "emulated" gives each property test a fifth of its examples, for runs under
# CPU emulation, which are some twenty times slower (see examples() in
# test_match_properties.py, which scales every budget by max_examples / 100).
settings.register_profile("emulated", max_examples=20)
settings.load_profile(os.environ.get("OSTREL_HYPOTHESIS_PROFILE", "default"))

# OSTREL_TEST_EXAMPLES caps each property test's examples (see
# test_match_properties.examples); the mutation check sets it, and then a
# failure is reported as found, without the minutes that shrinking it takes.
if os.environ.get("OSTREL_TEST_EXAMPLES"):
    settings.register_profile("mutate", phases=[Phase.explicit, Phase.generate])
    settings.load_profile("mutate")


def pytest_configure(config):
    # The marker of pytest-run-parallel, which runs every test from several
    # threads at once (.ci/threads); known here too, for runs without it.
    config.addinivalue_line("markers", "thread_unsafe(reason): run the test on one thread only")


@pytest.fixture
def rng():
    seed = int(os.environ.get("OSTREL_TEST_SEED", random.randrange(2**32)))
    # Printed output is shown with the failure report, which is where the seed is needed.
    print(f"random seed: {seed} (replay with OSTREL_TEST_SEED={seed})")
    return random.Random(seed)


@pytest.fixture
def run_python():
    """Run `code` in a new interpreter; returns the completed process."""

    def run(code):
        return subprocess.run(
            [sys.executable, "-c", code],
            capture_output=True,
            text=True,
            timeout=120,
        )

    return run


ADDRESS_SPACE_PROBE = """
import resource
with open("/proc/self/statm") as statm:
    used = int(statm.read().split()[0]) * resource.getpagesize()
soft, hard = resource.getrlimit(resource.RLIMIT_AS)
limit = used + 64 * 2**20
if hard != resource.RLIM_INFINITY and hard < limit:
    print("no room")
    raise SystemExit(0)
resource.setrlimit(resource.RLIMIT_AS, (limit, hard))
try:
    block = bytearray(512 * 2**20)
    print("ignored")
except MemoryError:
    print("holds")
"""


@pytest.fixture(scope="session")
def address_space_limit():
    """Skips a test that limits the address space (RLIMIT_AS) where a limit
    is not enforced: qemu user mode, for one, needs the address space itself
    and does not apply a guest's limit, so such a test would prove nothing."""
    if not sys.platform.startswith("linux"):
        pytest.skip("RLIMIT_AS and /proc are Linux's")
    probe = subprocess.run(
        [sys.executable, "-c", ADDRESS_SPACE_PROBE], capture_output=True, text=True, timeout=120
    )
    assert probe.returncode == 0, probe.stderr
    if probe.stdout == "no room\n":
        pytest.skip("the hard address-space limit leaves no room")
    if probe.stdout == "ignored\n":
        pytest.skip(
            "RLIMIT_AS is not enforced here (a 512 MB allocation past it succeeded),"
            " as under qemu user mode"
        )
    assert probe.stdout == "holds\n", probe.stdout
