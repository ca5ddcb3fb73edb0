"""Fixtures shared by the ostrel_lib tests: a seeded random source whose seed is
printed (so a failing run can be replayed with OSTREL_TEST_SEED), a helper that
runs a snippet in a fresh interpreter, and Hypothesis's cache kept under build/."""

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
