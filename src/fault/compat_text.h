// Fixed text that names the types and rules of another binding runtime:
// its PanicException (module pyo3_runtime), "Rust code", PyO3's own rules
// and type names, and the layout of its panic report. Programs and tests
// written against that runtime match on these strings, so every one is
// kept byte for byte for compatibility, even where it names a language or
// a runtime this module does not use. Nothing else of the module has to
// keep such a name.
#pragma once

namespace ostrel::compat {

// PanicException: its qualified name and its doc string.
inline constexpr char panic_type_name[] = "pyo3_runtime.PanicException";
inline constexpr char panic_type_doc[] =
    "\n"
    "The exception raised when Rust code called from Python panics.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";

// The fault report on standard error: message, file, line, column.
inline constexpr char panic_report_format[] = "thread '<unnamed>' panicked at '%s', %s:%u:%u\n";
// The PanicException message of a fault raised without text.
inline constexpr char panic_without_message[] = "panic from Rust code";
// Written before aborting when an exception would leave an entry.
inline constexpr char panic_at_boundary[] = "uncaught panic at ffi boundary\n";

// Written when a PanicException raised by Python code comes back into the
// module, before its traceback; then the fault is resumed.
inline constexpr char resumed_panic_banner[] =
    "--- PyO3 is resuming a panic after fetching a PanicException from Python. ---\n"
    "Python stack trace below:\n";
// The resumed fault's message when the PanicException carried no str.
inline constexpr char unwrapped_panic[] = "Unwrapped panic from Python code";

// ImportError on a second initialisation of the module.
inline constexpr char initialized_once[] =
    "PyO3 modules may only be initialized once per interpreter process";

// Target type names in "'<type>' object cannot be converted to '<target>'".
inline constexpr char str_target[] = "PyString";
inline constexpr char list_target[] = "PyList";

// A pending error described in a fault message:
// "PyErr { type: <repr>, value: <repr>, traceback: Some(<repr>) }", with
// None for a missing value or traceback.
inline constexpr char error_description_head[] = "PyErr { type: ";
inline constexpr char error_description_value[] = ", value: ";
inline constexpr char error_description_traceback[] = ", traceback: ";
inline constexpr char error_description_tail[] = " }";

}  // namespace ostrel::compat
