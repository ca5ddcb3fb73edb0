# ruff: noqa: E501 (the snippets are exact source text, one to a line)
"""The reviewed list of mutations that tools/mutate.py applies, one at a time.

Each mutant names a file under src/, the exact text it replaces, which
occurrence of that text (1 for the first), and the replacement. Anchoring on
text rather than on line numbers keeps the list valid while unrelated lines
move; a mutant whose text is gone (or occurs fewer times) stops the tool, and
the list is then brought up to date by hand.

A mutant is one small operator change of the kinds a slip of the pen makes:
a relational operator flipped, an offset or shift off by one, two branches
swapped, a condition dropped. `equivalent` holds the reason a mutant cannot
change what any caller sees (it only costs or saves time, or the changed
case cannot arise); those are listed but not run, and do not count. `known`
holds the reason a mutant is left surviving; the full run still runs those,
and the sampled CI run leaves them out (see tools/mutate.py).
"""

from dataclasses import dataclass


@dataclass(frozen=True)
class Mutant:
    name: str
    path: str  # under src/
    old: str
    new: str
    occurrence: int = 1
    equivalent: str = ""
    known: str = ""


SCANNER = "text/match_scanner.cpp"
UNITS = "text/index_units.cpp"
UNITS_H = "text/index_units.h"
READING = "text/unit_reading.h"
FUNCTIONS = "text/match_functions.cpp"
GATHERING = "chunks/chunk_gathering.cpp"
CHUNKS_ITER = "chunks/chunks_iter.cpp"
ACCESS_FLAG = "chunks/access_flag.h"
CONVERSIONS = "binding/conversions.cpp"
BIND = "binding/bind_arguments.cpp"
CALL_SCOPE = "binding/call_scope.cpp"

MUTANTS = [
    # The Two-Way search: maximal suffixes and the critical factorisation.
    Mutant("suffix-order-same-both-ways", SCANNER,
           "Inverted ? a > b : a < b", "Inverted ? a < b : a < b"),
    Mutant("suffix-period-step", SCANNER, "if (k + 1 == period) {", "if (k == period) {",
           equivalent="the mutant compares one unit more before moving the challenger a period on; that unit lies in the part already known to repeat, so both compare equal units (and every needle of up to 10 units over 3 letters gets the same factorisation)"),
    Mutant("suffix-period-plus-one", SCANNER,
           "period = challenger - best;", "period = challenger - best + 1;"),
    Mutant("suffix-restart-after-best", SCANNER,
           "challenger = best + 1;", "challenger = best + 2;"),
    Mutant("factorisation-earlier-start", SCANNER,
           "by_order.start >= by_inverse.start", "by_order.start <= by_inverse.start"),
    Mutant("factorisation-tie-other-suffix", SCANNER,
           "by_order.start >= by_inverse.start", "by_order.start > by_inverse.start",
           equivalent="on a tie both maximal suffixes start at the same unit, so they are "
                      "the same suffix with the same smallest period"),
    Mutant("periodic-test-inverted", SCANNER,
           "critical * sizeof(Unit)) == 0) {", "critical * sizeof(Unit)) != 0) {"),
    Mutant("long-period-shift-plus-one", SCANNER,
           "std::max(critical, m - critical) + 1", "std::max(critical, m - critical) + 2"),
    Mutant("long-period-shift-minus-one", SCANNER,
           "std::max(critical, m - critical) + 1", "std::max(critical, m - critical)",
           equivalent="a shorter shift only tests windows that cannot match, and a long-period "
                      "needle carries no memory that a shorter shift could misplace"),
    # The Two-Way search: the scan.
    Mutant("last-window-dropped", SCANNER, "while (j <= n - m) {", "while (j < n - m) {"),
    Mutant("filter-used-with-memory", SCANNER,
           "if (memory == 0 && filter.on) {", "if (filter.on) {"),
    Mutant("filter-never-used", SCANNER,
           "if (memory == 0 && filter.on) {", "if (memory == 0 && !filter.on) {",
           equivalent="the filter only proposes where to look; without it the search tests every window itself"),
    Mutant("skip-tests-another-unit", SCANNER,
           "(hay[j + m - 1] % 64)", "(hay[j + m - 2] % 64)"),
    Mutant("skip-inverted", SCANNER, "& 1) == 0) {", "& 1) != 0) {"),
    Mutant("skip-one-too-far", SCANNER,
           "j += m;\n            memory = 0;", "j += m + 1;\n            memory = 0;"),
    Mutant("skip-keeps-memory", SCANNER,
           "j += m;\n            memory = 0;", "j += m;"),
    Mutant("right-part-last-unit-unchecked", SCANNER, "if (i < m) {", "if (i < m - 1) {"),
    Mutant("right-part-shift-plus-one", SCANNER,
           "j += i - critical + 1;", "j += i - critical + 2;"),
    Mutant("right-part-start-ignores-memory", SCANNER,
           "std::size_t i = std::max(critical, memory);", "std::size_t i = critical;",
           equivalent="it only compares again units that the memory already knows to agree"),
    Mutant("mismatch-keeps-memory", SCANNER,
           "j += i - critical + 1;\n            memory = 0;", "j += i - critical + 1;"),
    Mutant("memory-one-unit-too-long", SCANNER,
           "memory = m - plan.shift;", "memory = m - plan.shift + 1;"),
    Mutant("periodic-shift-plus-one", SCANNER, "j += plan.shift;", "j += plan.shift + 1;"),
    Mutant("long-period-shift-in-scan", SCANNER, "j += plan.shift;", "j += plan.shift + 1;",
           occurrence=2),
    Mutant("left-part-skips-first-unit", SCANNER,
           "for (std::size_t i = memory; i < critical; ++i) {",
           "for (std::size_t i = memory + 1; i < critical; ++i) {"),
    Mutant("left-part-long-one-short", SCANNER,
           "(critical - memory) * sizeof(Unit)) == 0;",
           "(critical - memory - 1) * sizeof(Unit)) == 0;"),
    Mutant("left-part-short-bound", SCANNER,
           "if (critical - memory < short_part) {", "if (critical - memory <= short_part) {",
           equivalent="the loop and memcmp give the same answer at any length"),
    Mutant("left-part-empty-test", SCANNER, "if (memory >= critical) {", "if (memory > critical) {",
           equivalent="with memory == critical the loop compares nothing and answers true"),
    Mutant("filter-gives-up-one-early", SCANNER,
           "filter.false_candidates >= warm_up", "filter.false_candidates > warm_up",
           equivalent="when the filter gives up only decides how fast the search runs"),
    Mutant("unit-mask-modulus", SCANNER,
           "(static_cast<Value>(unit) % 64)", "(static_cast<Value>(unit) % 63)"),
    Mutant("two-unit-needle-without-plan", SCANNER,
           "if (substring.size() < 2) {", "if (substring.size() < 3) {",
           equivalent="a two-unit needle's candidates are its matches, since the filter compares its first and last unit, which are all of it: the filter never gives up and the Two-Way steps only confirm, with or without a plan and a unit mask"),
    Mutant("one-byte-reverse-offset", SCANNER,
           ": hay.size - 1 - (static_cast", ": hay.size - (static_cast"),
    # The scanner between matches and at code-point boundaries.
    Mutant("too-short-rest-is-enough", SCANNER, "back_ - front_ < m", "back_ - front_ <= m"),
    Mutant("overlapping-matches", SCANNER, "front_ = start + m;", "front_ = start + 1;"),
    Mutant("reverse-back-inside-match", SCANNER, "back_ = start;", "back_ = start + 1;"),
    Mutant("boundary-forward-inside-code-point", SCANNER,
           "} while (at != string_.size() && Encoding::continues(string_[at]));",
           "} while (false);"),
    Mutant("boundary-reverse-inside-code-point", SCANNER,
           "} while (at != 0 && Encoding::continues(string_[at]));", "} while (false);"),
    Mutant("boundary-end-repeated", SCANNER,
           "if (at == string_.size()) {\n            finished_ = true;",
           "if (at > string_.size()) {\n            finished_ = true;"),
    # Reading in either direction.
    Mutant("reverse-range-off-by-one", READING,
           "return data + (size - to);", "return data + (size - to - 1);"),
    Mutant("reverse-offset-off-by-one", READING,
           "return size - at - length;", "return size - at - length + 1;"),
    # Encodings and index conversion.
    Mutant("high-surrogate-continues", UNITS_H,
           "(unit & 0xFC00) == 0xDC00; }", "(unit & 0xFC00) == 0xD800; }"),
    Mutant("latin1-not-utf16", UNITS_H,
           "return unit != IndexUnit::Byte; }", "return unit == IndexUnit::CodePoint; }"),
    Mutant("cursor-converts-own-unit", UNITS, "if (Encoding::counts_as(unit_)) {",
           "if (!Encoding::counts_as(unit_)) {"),
    Mutant("cursor-refuses-equal-offset", UNITS,
           "last_offset_ <= offset && offset <= text_.size()",
           "last_offset_ < offset && offset <= text_.size()"),
    Mutant("cursor-forgets-offset", UNITS, "last_offset_ = offset;", ";"),
    Mutant("utf16-count-branches-swapped", UNITS,
           "? count_code_points(text, from, to)\n                                        : count_utf8_bytes(text, from, to);",
           "? count_utf8_bytes(text, from, to)\n                                        : count_code_points(text, from, to);"),
    Mutant("latin1-bytes-plus-one", UNITS,
           "return (to - from) + kernels().count_high_bytes",
           "return (to - from + 1) + kernels().count_high_bytes"),
    Mutant("utf8-share-boundary", UNITS,
           "return unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;",
           "return unit <= 0x80 ? 1 : unit < 0x800 ? 2 : 3;"),
    Mutant("utf8-share-surrogate", UNITS,
           "if ((unit & 0xF800) == 0xD800) return 2;",
           "if ((unit & 0xF800) == 0xD800) return 3;",
           equivalent="not reachable from Python: UTF-8 lengths of UTF-16 units are only counted for strs of two bytes per character, which hold no surrogate pairs"),
    # The six functions' driver.
    Mutant("one-byte-reverse-not-reversed", FUNCTIONS,
           "if (direction == Direction::Reverse) std::reverse",
           "if (direction == Direction::Forward) std::reverse"),
    Mutant("one-byte-shortcut-any-unit", FUNCTIONS,
           "if (Encoding::counts_as(unit) && substring.size() == 1) {",
           "if (substring.size() == 1) {"),
    Mutant("own-unit-directions-swapped", FUNCTIONS,
           "? collect<Encoding, Direction::Forward>(string, substring, same)\n"
           "                   : collect<Encoding, Direction::Reverse>(string, substring, same);",
           "? collect<Encoding, Direction::Reverse>(string, substring, same)\n"
           "                   : collect<Encoding, Direction::Forward>(string, substring, same);"),
    Mutant("list-grows-by-one", FUNCTIONS,
           "list.empty() ? first_capacity : 2 * list.capacity()",
           "list.empty() ? first_capacity : list.capacity() + 1",
           equivalent="the list's growth only decides how often it is copied"),
    # Chunks.
    Mutant("chunk-size-zero-check", CHUNKS_ITER,
           "if (chunk_size.value() == 0) [[unlikely]]", "if (chunk_size.value() == 1) [[unlikely]]"),
    Mutant("shared-access-inverted", CHUNKS_ITER,
           "if (!access.held()) [[unlikely]]\n            return PyErr::lazy(ErrorKind::RuntimeError, \"Already mutably borrowed\");",
           "if (access.held()) [[unlikely]]\n            return PyErr::lazy(ErrorKind::RuntimeError, \"Already mutably borrowed\");"),
    Mutant("exclusive-access-always", ACCESS_FLAG,
           "held_ = flag_.compare_exchange_strong(",
           "held_ = true || flag_.compare_exchange_strong("),
    Mutant("shared-access-during-step", ACCESS_FLAG,
           "if (seen == exclusive_flag) return;",
           "if (seen == exclusive_flag && false) return;"),
    Mutant("subclass-receiver-refused", "chunks/chunks_object.cpp",
           "if (actual != expected && !PyType_IsSubtype(actual, expected)) [[unlikely]]",
           "if (actual != expected) [[unlikely]]",
           equivalent="the type is final, so no subclass of it can be made to call with"),
    Mutant("heap-type-takes-slot", "chunks/chunks_object.cpp",
           "if (PyType_GetFlags(type) & Py_TPFLAGS_HEAPTYPE) return nullptr;", "",
           known="for a class defined in Python the slot looks __next__ up on the type at every call, as the call by name does; the instances that differ, those with their own __next__, are sent by name by the next test (instance-dict-takes-slot)"),
    Mutant("instance-dict-takes-slot", "chunks/chunks_object.cpp",
           "if (PyObject_HasAttr(object, dict_name())) return nullptr;", "",
           known="behind the heap-type test it only matters for a static type whose instances have a __dict__, and no iterator type of the interpreter is one, so the suite cannot build the case"),
    Mutant("stopiteration-is-an-error", GATHERING,
           "if (error && !PyErr_GivenExceptionMatches", "if (error && PyErr_GivenExceptionMatches"),
    Mutant("none-is-an-item-by-name", GATHERING,
           "if (item.value().get() == Py_None) {", "if (item.value().get() != Py_None) {"),
    Mutant("none-is-an-item-through-slot", GATHERING,
           "if (item == Py_None) [[unlikely]] {", "if (false) [[unlikely]] {"),
    Mutant("by-name-asks-one-more", GATHERING,
           "for (std::size_t asked = 0; asked < wanted; ++asked) {",
           "for (std::size_t asked = 0; asked <= wanted; ++asked) {"),
    Mutant("through-slot-asks-one-less", GATHERING,
           "for (std::size_t asked = 0; asked < wanted; ++asked) {",
           "for (std::size_t asked = 1; asked < wanted; ++asked) {", occurrence=2),
    Mutant("exhausted-asks-again", GATHERING,
           "if (self.exhausted) return PyErr::stop_iteration();", ""),
    Mutant("empty-chunk-delivered", GATHERING,
           "if (items.empty()) return PyErr::stop_iteration();", ""),
    Mutant("short-chunk-delivered-whole", GATHERING,
           "if (size_ == capacity_) {\n            PyObject_GC_Track",
           "if (size_ <= capacity_) {\n            PyObject_GC_Track"),
    Mutant("first-list-at-chunk-size", GATHERING,
           "std::min(wanted, first_capacity)", "std::max(wanted, first_capacity)"),
    Mutant("growth-past-chunk-size", GATHERING,
           "std::min(limit_, 2 * capacity_)", "std::max(limit_, 2 * capacity_)"),
    Mutant("full-chunk-never-seen", GATHERING,
           "if (items.full()) self.full_chunk_seen = true;", "",
           equivalent="it only decides the first list's size, which the list outgrows"),
    Mutant("busy-step-proceeds", GATHERING,
           "if (!access.held()) [[unlikely]]\n        return PyErr::lazy(ErrorKind::RuntimeError, \"Already borrowed\");",
           ""),
    # Binding: arguments and conversions.
    Mutant("fast-path-without-required", BIND,
           "given >= table.required_positional && given <= positional",
           "given <= positional"),
    Mutant("too-many-allowed-one-more", BIND, "if (given > positional) [[unlikely]]",
           "if (given > positional + 1) [[unlikely]]"),
    Mutant("keyword-fills-taken-slot", BIND,
           "if (slots[i] != nullptr) [[unlikely]]", "if (false) [[unlikely]]"),
    Mutant("positional-only-by-keyword", BIND,
           "if (i < table.positional_only) {", "if (i <= table.positional_only) {"),
    Mutant("missing-not-reported", BIND,
           "if (slots[i] == nullptr) missing.emplace_back", "if (slots[i] != nullptr) missing.emplace_back"),
    Mutant("utf16-mark-kept", CONVERSIONS,
           "constexpr std::size_t mark = 2;", "constexpr std::size_t mark = 0;"),
    Mutant("ascii-held-for-utf16", CONVERSIONS,
           "if (form != TextForm::Utf16 && form != TextForm::Latin1 && is_ascii(object)) {",
           "if (form != TextForm::Latin1 && is_ascii(object)) {"),
    Mutant("ascii-held-for-latin1", CONVERSIONS,
           "if (form != TextForm::Utf16 && form != TextForm::Latin1 && is_ascii(object)) {",
           "if (form != TextForm::Utf16 && is_ascii(object)) {",
           equivalent="ASCII bytes are their own Latin-1 form, and search() reads a Latin-1 "
                      "substring's bytes whatever it is marked as held in"),
    Mutant("width-two-read-as-latin1", CONVERSIONS,
           "if (form == TextForm::Latin1 || width == 1) {",
           "if (form == TextForm::Latin1 || width == 2) {",
           equivalent="a wrong width costs time only: Latin-1 refuses a wider str, which then "
                      "takes the general path"),
    Mutant("probe-length", CONVERSIONS,
           "constexpr std::size_t long_enough = 512;", "constexpr std::size_t long_enough = 5120;",
           equivalent="shorter strs take the general path, which gives the same answer"),
    Mutant("overflow-unchecked", CONVERSIONS,
           "if (value == std::numeric_limits<unsigned long long>::max()) {",
           "if (value != std::numeric_limits<unsigned long long>::max()) {"),
    Mutant("scope-item-below-top", CALL_SCOPE,
           "return stack.items[stack.size - 1];", "return stack.items[0];"),
]
