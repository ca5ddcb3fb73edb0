"""What ostrel_lib is once imported: its public names and their order, the
attributes of its function objects, the once-per-process initialisation rule,
the shared library's single export, and the PanicException type that internal
faults are raised as."""

import json
import os
import shutil
import subprocess
import types

import pytest

import ostrel_lib

FUNCTION_DOCS = {
    "match_indices": "Returns a list of the UTF-8 indices of disjoint matches, from start to end.",
    "match_utf16_indices": "Returns a list of the UTF-16 indices of disjoint matches, from start to end.",
    "match_byte_indices": "Returns a list of the byte indices of disjoint matches, from start to end.",
    "rmatch_indices": "Returns a list of the UTF-8 indices of disjoint matches, from end to start.",
    "rmatch_utf16_indices": "Returns a list of the UTF-16 indices of disjoint matches, from end to start.",
    "rmatch_byte_indices": "Returns a list of the byte indices of disjoint matches, from end to start.",
    "utf16len": "A function that returns the UTF-16 length of a string.",
}
PUBLIC_NAMES = [*FUNCTION_DOCS, "ChunksIter", "__version__"]

# Entries the import machinery puts into every extension module's namespace.
INTERPRETER_ENTRIES = {"__name__", "__doc__", "__package__", "__loader__", "__spec__", "__file__"}

REINIT_MESSAGE = "PyO3 modules may only be initialized once per interpreter process"


def test_all_lists_the_public_names_in_registration_order():
    assert type(ostrel_lib.__all__) is list
    assert ostrel_lib.__all__ == PUBLIC_NAMES


def test_module_identity_attributes():
    assert type(ostrel_lib.__version__) is str
    assert ostrel_lib.__version__ == "0.3.0-beta7"
    assert ostrel_lib.__doc__ == "Random crap I like to use."
    assert ostrel_lib.__name__ == "ostrel_lib"


def test_namespace_holds_nothing_beyond_the_public_names():
    assert set(vars(ostrel_lib)) - INTERPRETER_ENTRIES == {"__all__", *PUBLIC_NAMES}
    assert not hasattr(ostrel_lib, "PanicException")


def test_namespace_insertion_order():
    # __all__ is created by the first registration, so it precedes every name it lists.
    wanted = {"__all__", *PUBLIC_NAMES}
    assert [name for name in vars(ostrel_lib) if name in wanted] == ["__all__", *PUBLIC_NAMES]


def test_star_import_binds_exactly_the_public_names():
    namespace = {}
    exec("from ostrel_lib import *", namespace)
    del namespace["__builtins__"]
    assert sorted(namespace) == sorted(PUBLIC_NAMES)
    for name, value in namespace.items():
        assert value is getattr(ostrel_lib, name)


@pytest.mark.parametrize("name, doc", list(FUNCTION_DOCS.items()))
def test_function_object_attributes(name, doc):
    function = getattr(ostrel_lib, name)
    assert type(function) is types.BuiltinFunctionType
    assert function.__self__ is ostrel_lib
    assert function.__module__ == "ostrel_lib"
    assert function.__name__ == name
    assert function.__qualname__ == name
    assert function.__doc__ == doc
    assert function.__text_signature__ is None


def test_importable_in_a_fresh_interpreter(run_python):
    proc = run_python("import ostrel_lib, json; print(json.dumps(ostrel_lib.__all__))")
    assert proc.returncode == 0, proc.stderr
    assert json.loads(proc.stdout) == PUBLIC_NAMES


# Both ways of importing again end in a fresh call of PyInit_ostrel_lib: the
# module keeps no copy of its namespace for the interpreter to reuse.
REIMPORT_BY_NAME = "importlib.import_module('ostrel_lib')"
REIMPORT_BY_FILE = (
    "found = importlib.util.spec_from_file_location('ostrel_lib', first.__file__,"
    " loader=importlib.machinery.ExtensionFileLoader('ostrel_lib', first.__file__));"
    " importlib.util.module_from_spec(found)"
)

REINIT_SCRIPT = """
import importlib, importlib.machinery, importlib.util, json, sys
import ostrel_lib as first
snapshot = dict(vars(first))
all_before = list(first.__all__)
outcomes = []
for attempt in range(2):
    sys.modules.pop('ostrel_lib', None)
    try:
        {reimport}
    except BaseException as error:
        outcomes.append([type(error).__name__, str(error)])
    else:
        outcomes.append(None)
print(json.dumps({{
    'outcomes': outcomes,
    'namespace_kept': dict(vars(first)) == snapshot and first.__all__ == all_before,
    'still_works': first.utf16len('\\U0001F600') == 2 and first.match_indices('aXa', 'a') == [0, 2],
}}))
"""


@pytest.mark.parametrize("reimport", [REIMPORT_BY_NAME, REIMPORT_BY_FILE], ids=["by-name", "by-file"])
def test_second_initialisation_fails_and_leaves_the_first_module_alone(run_python, reimport):
    proc = run_python(REINIT_SCRIPT.format(reimport=reimport))
    assert proc.returncode == 0, proc.stderr
    result = json.loads(proc.stdout)
    assert result["outcomes"] == [["ImportError", REINIT_MESSAGE]] * 2
    assert result["namespace_kept"]
    assert result["still_works"]


# The module file's name, whichever CPython built it, and the one entry it
# exports: the stable-ABI build is initialised through PyInit_, the variant
# for free-threaded CPython (abi3t) is exported through PyModExport_.
ENTRY_BY_FILE_NAME = {
    "ostrel_lib.abi3.so": "PyInit_ostrel_lib",
    "ostrel_lib.abi3t.so": "PyModExport_ostrel_lib",
}


def test_shared_library_exports_only_the_init_entry():
    name = os.path.basename(ostrel_lib.__file__)
    assert name in ENTRY_BY_FILE_NAME
    nm = shutil.which("nm")
    if nm is None:
        pytest.skip("nm is not installed")
    listing = subprocess.run(
        [nm, "-D", "--defined-only", ostrel_lib.__file__],
        capture_output=True, text=True, check=True,
    ).stdout
    defined = []
    for line in listing.splitlines():
        fields = line.split()
        # Absolute entries ("A") are version-script node names, not code or data.
        if len(fields) >= 3 and fields[1] != "A":
            defined.append(fields[2])
    assert defined == [ENTRY_BY_FILE_NAME[name]], listing


def _panic_exception_type():
    # The type is not a module attribute; a conversion failure makes the module
    # look at pending errors, which creates the type if it does not exist yet.
    # Other extensions may register types of the same name, so ours is told
    # apart by behaviour: raised from an inner iterator, only the module's own
    # type is resumed as a new instance.
    with pytest.raises(UnicodeEncodeError):
        ostrel_lib.utf16len("\udc80")
    candidates = [t for t in BaseException.__subclasses__() if t.__module__ == "pyo3_runtime"]
    ours = []
    for candidate in candidates:
        original = candidate("probe")

        class Raising:
            def __iter__(self):
                return self

            def __next__(self, original=original):
                raise original

        try:
            next(ostrel_lib.ChunksIter(Raising(), 1))
        except candidate as error:
            if error is not original:
                ours.append(candidate)
    assert len(ours) == 1, candidates
    return ours[0]


def test_panic_exception_type_shape():
    panic = _panic_exception_type()
    assert panic.__name__ == "PanicException"
    assert panic.__qualname__ == "PanicException"
    assert panic.__bases__ == (BaseException,)
    assert not issubclass(panic, Exception)
    assert panic.__doc__ == (
        "\nThe exception raised when Rust code called from Python panics.\n\n"
        "Like SystemExit, this exception is derived from BaseException so that\n"
        "it will typically propagate all the way through the stack and cause the\n"
        "Python interpreter to exit.\n"
    )
    assert _panic_exception_type() is panic


# A PanicException raised by Python code that the module calls is turned into a
# new PanicException after a banner and the original traceback go to stderr.
RESUMED_PANIC_SCRIPT = """
import json, ostrel_lib
try:
    ostrel_lib.utf16len('\\udc80')
except UnicodeEncodeError:
    pass
[panic] = [t for t in BaseException.__subclasses__() if t.__module__ == 'pyo3_runtime']
original = panic('boom')
class Inner:
    def __iter__(self):
        return self
    def __next__(self):
        raise original
chunks = ostrel_lib.ChunksIter(Inner(), 2)
result = {'caught_as_exception': False}
try:
    try:
        next(chunks)
    except Exception:
        result['caught_as_exception'] = True
except BaseException as error:
    result.update(type_ok=type(error) is panic, fresh=error is not original,
                  args=list(error.args), message=str(error))
print(json.dumps(result))
"""


def test_panic_from_python_code_is_resumed(run_python):
    proc = run_python(RESUMED_PANIC_SCRIPT)
    assert proc.returncode == 0, proc.stderr
    result = json.loads(proc.stdout)
    assert result == {
        "caught_as_exception": False,
        "type_ok": True,
        "fresh": True,
        # The pending value is an exception instance, not a str, so its text is not reused.
        "args": ["Unwrapped panic from Python code"],
        "message": "Unwrapped panic from Python code",
    }
    lines = proc.stderr.splitlines()
    assert lines[:2] == [
        "--- PyO3 is resuming a panic after fetching a PanicException from Python. ---",
        "Python stack trace below:",
    ]
    assert "Traceback (most recent call last):" in lines
    assert lines[-1] == "pyo3_runtime.PanicException: boom"
