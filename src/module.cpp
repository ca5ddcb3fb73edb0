// The module itself: its definition record, the once-only initialisation,
// the function table, and the registration of every public name. Each name
// enters __all__ before its attribute is set, so __all__ lists the public
// names in registration order.
//
//     import ostrel_lib
//     ostrel_lib.__all__ == ["match_indices", ..., "utf16len", "ChunksIter",
//                            "__version__"]
#include "binding/conversions.h"
#include "binding/frame.h"
#include "binding/interned.h"
#include "binding/py_err.h"
#include "chunks/chunks_iter.h"
#include "fault/compat_text.h"
#include "fault/fault.h"
#include "platform/vector_width.h"
#include "text/kernels.h"
#include "text_entries.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ostrel {

namespace {

constexpr const char module_version[] = "0.3.0-beta7";

struct FunctionRow {
    const char* name;
    PyCFunctionWithKeywords entry;
    const char* doc;
};

// Registration order is table order; adding a function is adding a row.
constexpr FunctionRow function_table[] = {
    {"match_indices", match_indices_entry,
     "Returns a list of the UTF-8 indices of disjoint matches, from start to end."},
    {"match_utf16_indices", match_utf16_indices_entry,
     "Returns a list of the UTF-16 indices of disjoint matches, from start to end."},
    {"match_byte_indices", match_byte_indices_entry,
     "Returns a list of the byte indices of disjoint matches, from start to end."},
    {"rmatch_indices", rmatch_indices_entry,
     "Returns a list of the UTF-8 indices of disjoint matches, from end to start."},
    {"rmatch_utf16_indices", rmatch_utf16_indices_entry,
     "Returns a list of the UTF-16 indices of disjoint matches, from end to start."},
    {"rmatch_byte_indices", rmatch_byte_indices_entry,
     "Returns a list of the byte indices of disjoint matches, from end to start."},
    {"utf16len", utf16len_entry, "A function that returns the UTF-16 length of a string."},
};
constexpr std::size_t function_count = std::size(function_table);

// Function objects point at these records for as long as they live, so
// they are static and never freed.
PyMethodDef method_records[function_count];

constexpr const char module_name_text[] = "ostrel_lib";
constexpr const char module_doc_text[] = "Random crap I like to use.";

std::atomic<bool> module_initialized{false};

ObjectRef new_str(std::string_view text) {
    return checked(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

// The module's __all__ list, created empty when it does not exist yet.
Result<ObjectRef> module_all(PyObject* module) {
    ObjectRef all = ObjectRef::steal(PyObject_GetAttr(module, all_name()));
    if (all) {
        if (PyType_GetFlags(Py_TYPE(all.get())) & Py_TPFLAGS_LIST_SUBCLASS) return all;
        return conversion_error(all.get(), compat::list_target);
    }
    PyErr error = fetch_error();
    if (!PyErr_GivenExceptionMatches(error.type(), PyExc_AttributeError)) return error;
    ObjectRef created = checked(PyList_New(0));
    if (PyObject_SetAttr(module, all_name(), created.get()) == -1) return fetch_error();
    return created;
}

Status module_add(PyObject* module, std::string_view name, PyObject* value) {
    Result<ObjectRef> all = module_all(module);
    if (!all.ok()) return all.into_error();
    ObjectRef listed = new_str(name);
    if (PyList_Append(all.value().get(), listed.get()) == -1) [[unlikely]] {
        PyErr error = fetch_error();
        raise_fault("could not append __name__ to __all__: " + describe_error(error));
    }
    ObjectRef key = new_str(name);
    if (PyObject_SetAttr(module, key.get(), value) == -1) return fetch_error();
    return std::nullopt;
}

Result<ObjectRef> new_module_function(std::size_t row, PyObject* module) {
    const char* module_name = PyModule_GetName(module);
    if (module_name == nullptr) return fetch_error();
    ObjectRef name = ObjectRef::steal(PyUnicode_DecodeUTF8(
        module_name, static_cast<Py_ssize_t>(std::strlen(module_name)), "strict"));
    if (!name) {
        PyErr error = fetch_error();
        raise_fault("PyModule_GetName expected to return utf8: " + render_text(error.instance()));
    }
    PyMethodDef& record = method_records[row];
    record.ml_name = function_table[row].name;
    // METH_KEYWORDS entries take three arguments; PyMethodDef stores them
    // under the two-argument type, through the generic function pointer.
    record.ml_meth =
        reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function_table[row].entry));
    record.ml_flags = METH_VARARGS | METH_KEYWORDS;
    record.ml_doc = function_table[row].doc;
    ObjectRef function = ObjectRef::steal(PyCFunction_NewEx(&record, module, name.get()));
    if (!function) return fetch_error();
    return function;
}

Status module_add_function(PyObject* module, PyObject* function) {
    ObjectRef name = ObjectRef::steal(PyObject_GetAttr(function, name_name()));
    if (!name) return fetch_error();
    Result<StrText> text = to_text(name.get(), TextForm::Utf8);
    if (!text.ok()) return text.into_error();
    return module_add(module, text.value().bytes, function);
}

Status module_add_class(PyObject* module) {
    return module_add(module, "ChunksIter", chunks_iter_type());
}

Status populate_module(PyObject* module) {
    for (std::size_t row = 0; row < function_count; ++row) {
        Result<ObjectRef> function = new_module_function(row, module);
        if (!function.ok()) return function.into_error();
        if (Status failure = module_add_function(module, function.value().get())) return failure;
    }
    if (Status failure = module_add_class(module)) return failure;
    ObjectRef version = new_str(module_version);
    return module_add(module, "__version__", version.get());
}

// The vector width of the text kernels: the widest this CPU runs, or the
// one OSTREL_VECTOR_WIDTH names (plain, 16, 32 or 64). A name that is not a
// width, or a width this build or CPU cannot run, fails the import rather
// than run at another width than asked. Checked before the module counts
// as initialised, so that a corrected environment can import it again.
Status choose_vector_width(platform::VectorWidth& width) {
    using platform::VectorWidth;
    width = platform::widest_width();
    if (const char* asked = std::getenv("OSTREL_VECTOR_WIDTH"); asked != nullptr && *asked != 0) {
        const std::optional<VectorWidth> named = platform::parse_width(asked);
        if (!named) {
            return PyErr::lazy(
                ErrorKind::ImportError,
                std::string("OSTREL_VECTOR_WIDTH must be plain, 16, 32 or 64, not '") + asked +
                    "'");
        }
        if (!platform::width_runs_here(*named)) {
            return PyErr::lazy(ErrorKind::ImportError,
                               std::string("OSTREL_VECTOR_WIDTH=") + asked + " asks for " + asked +
                                   "-byte vectors, which this " +
                                   (platform::width_built(*named) ? "CPU" : "build") +
                                   " cannot run; the widest here is " +
                                   std::string(platform::width_name(width)));
        }
        width = *named;
    }
    return std::nullopt;
}

}  // namespace

}  // namespace ostrel

#ifndef Py_TARGET_ABI3T

namespace ostrel {
namespace {

// The interpreter writes into the head while importing.
PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    module_name_text,
    module_doc_text,
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// Once per process: a second module (a re-import, another interpreter) is
// refused.
Result<ObjectRef> make_module() {
    ObjectRef module = ObjectRef::steal(PyModule_Create2(&module_def, PYTHON_ABI_VERSION));
    if (!module) return fetch_error();
    platform::VectorWidth width{};
    if (Status failure = choose_vector_width(width)) return std::move(*failure);
    if (module_initialized.exchange(true, std::memory_order_seq_cst))
        return PyErr::lazy(ErrorKind::ImportError, compat::initialized_once);
    text::use_width(width);
    if (Status failure = populate_module(module.get())) return std::move(*failure);
    return module;
}

}  // namespace
}  // namespace ostrel

PyMODINIT_FUNC PyInit_ostrel_lib(void) {
    return ostrel::run_frame([]() { return ostrel::make_module(); });
}

#else

// abi3t: the interpreter calls the create slot, then the exec slot; the
// names and the ABI are static data it only points at. Create refuses a
// second module, as the other build's init does, and makes a bare one;
// exec registers every name. The functions are made there too, not listed
// in a Py_mod_methods slot, which would put them into the namespace ahead
// of __all__.
namespace ostrel {
namespace {

PyObject* create_module(PyObject* spec, PyModuleDef* /*no definition*/) noexcept {
    return run_frame([spec]() -> Result<ObjectRef> {
        platform::VectorWidth width{};
        if (Status failure = choose_vector_width(width)) return std::move(*failure);
        if (module_initialized.exchange(true, std::memory_order_seq_cst))
            return PyErr::lazy(ErrorKind::ImportError, compat::initialized_once);
        text::use_width(width);
        ObjectRef name = ObjectRef::steal(PyObject_GetAttrString(spec, "name"));
        if (!name) return fetch_error();
        ObjectRef module = ObjectRef::steal(PyModule_NewObject(name.get()));
        if (!module) return fetch_error();
        return module;
    });
}

int exec_module(PyObject* module) noexcept {
    run_frame([module]() { return populate_module(module); });
    return PyErr_Occurred() != nullptr ? -1 : 0;
}

PyABIInfo_VAR(abi_info);

PySlot module_slots[] = {
    {Py_mod_name, PySlot_STATIC, {0}, {const_cast<char*>(module_name_text)}},
    {Py_mod_doc, PySlot_STATIC, {0}, {const_cast<char*>(module_doc_text)}},
    {Py_mod_abi, PySlot_STATIC, {0}, {&abi_info}},
    // Every piece of shared state is atomic or per thread, and ChunksIter
    // refuses a second user through an atomic flag: no GIL needed.
    {Py_mod_gil, PySlot_INTPTR, {0}, {Py_MOD_GIL_NOT_USED}},
    {Py_mod_create, 0, {0}, {.sl_func = reinterpret_cast<_Py_funcptr_t>(&create_module)}},
    {Py_mod_exec, 0, {0}, {.sl_func = reinterpret_cast<_Py_funcptr_t>(&exec_module)}},
    {0, 0, {0}, {nullptr}},
};

}  // namespace
}  // namespace ostrel

PyMODEXPORT_FUNC PyModExport_ostrel_lib(void) {
    return ostrel::module_slots;
}

#endif
