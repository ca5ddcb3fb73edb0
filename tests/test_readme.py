"""The README's examples: every `>>>` line in its ```python blocks runs
against the installed module and must print what the README shows."""

import doctest
import pathlib
import re

import pytest

import ostrel_lib

README = pathlib.Path(__file__).resolve().parent.parent / "README.md"
FENCE = re.compile(r"^( *)```python\n(.*?)^\1```$", re.MULTILINE | re.DOTALL)


def python_blocks():
    text = README.read_text(encoding="utf-8")
    for match in FENCE.finditer(text):
        indent = len(match.group(1))
        body = "".join(line[indent:] for line in match.group(2).splitlines(keepends=True))
        yield text.count("\n", 0, match.start(2)), body


BLOCKS = list(python_blocks())


def test_readme_has_examples():
    # Guards the fence pattern: a README whose blocks it stopped finding
    # would otherwise pass with nothing run.
    assert len(BLOCKS) >= 10
    assert all(">>> " in body for _, body in BLOCKS)


@pytest.mark.parametrize(("line", "body"), BLOCKS, ids=[f"line{n + 1}" for n, _ in BLOCKS])
def test_readme_block(line, body):
    # Each block starts from the name the README uses for the module, so a
    # block can be read, and fail, on its own.
    test = doctest.DocTestParser().get_doctest(
        body, {"m": ostrel_lib}, f"README.md:{line + 1}", str(README), line
    )
    assert test.examples
    report = []
    runner = doctest.DocTestRunner()
    runner.run(test, out=report.append)
    assert runner.failures == 0, "".join(report)
