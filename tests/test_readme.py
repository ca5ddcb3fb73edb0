"""The README's examples, run the way `python -m doctest README.md` runs
them: the whole file as one doctest whose examples share their names,
against the installed module."""

import doctest
import pathlib
import re

import pytest

README = pathlib.Path(__file__).resolve().parent.parent / "README.md"


@pytest.mark.thread_unsafe(reason="doctest swaps sys.stdout, for every thread, while it runs")
def test_readme_examples_pass_under_doctest():
    # Failures are printed, and pytest shows them with the assertion.
    failed, attempted = doctest.testfile(
        str(README), module_relative=False, report=False, encoding="utf-8"
    )
    assert failed == 0
    # Every prompt in the file was run, so a README whose examples doctest
    # stopped finding cannot pass with nothing checked.
    prompts = re.findall(r"^\s*>>> ", README.read_text(encoding="utf-8"), re.MULTILINE)
    assert attempted == len(prompts) > 0
