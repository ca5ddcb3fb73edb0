// Argument binding. Order of checks: surplus positionals first (keywords
// are not looked at then), then keywords in the order the caller wrote
// them (the first bad one wins), then positional-only misuse, then missing
// arguments, positional before keyword-only.
#include "binding/bind_arguments.h"

#include "binding/call_scope.h"
#include "fault/compat_text.h"

#include <string_view>

namespace ostrel {

namespace {

std::string_view bytes_view(PyObject* bytes) {
    return {PyBytes_AsString(bytes), static_cast<std::size_t>(PyBytes_Size(bytes))};
}

}  // namespace

Status bind_arguments(const ParamTable& table, PyObject* args, PyObject* kwargs,
                      std::span<PyObject*> slots) {
    const std::size_t positional = table.positional.size();
    const std::size_t given = static_cast<std::size_t>(PyTuple_Size(args));
    for (PyObject*& slot : slots) slot = nullptr;
    for (std::size_t i = 0; i < given && i < positional; ++i)
        slots[i] = PyTuple_GetItem(args, static_cast<Py_ssize_t>(i));
    // The common call: enough positionals and no keywords. Nothing below
    // can fail then unless a keyword-only parameter is required.
    if (kwargs == nullptr && given >= table.required_positional && given <= positional &&
        !table.any_required_keyword()) [[likely]]
        return std::nullopt;
    if (given > positional) [[unlikely]]
        return PyErr::lazy(ErrorKind::TypeError, too_many_message(table, given));

    std::vector<std::string> misused;  // positional-only names given by keyword
    if (kwargs != nullptr) {
        Py_ssize_t position = 0;
        PyObject* raw_key = nullptr;
        PyObject* raw_value = nullptr;
        while (PyDict_Next(kwargs, &position, &raw_key, &raw_value)) {
            PyObject* key = CallScope::push(ObjectRef::borrow(raw_key));
            PyObject* value = CallScope::push(ObjectRef::borrow(raw_value));
            if (!(PyType_GetFlags(Py_TYPE(key)) & Py_TPFLAGS_UNICODE_SUBCLASS)) [[unlikely]]
                return conversion_error(key, compat::str_target);
            ObjectRef encoded = ObjectRef::steal(PyUnicode_AsUTF8String(key));
            if (!encoded) [[unlikely]] {
                // A lone surrogate: such a name matches no parameter.
                (void)take_error();
                return PyErr::lazy(ErrorKind::TypeError,
                                   unexpected_keyword_message(table, render_text(key)));
            }
            std::string_view name = bytes_view(CallScope::push(std::move(encoded)));

            bool matched = false;
            for (std::size_t k = 0; k < table.keyword_only.size(); ++k) {
                if (table.keyword_only[k].name != name) continue;
                PyObject*& slot = slots[positional + k];
                if (slot != nullptr) [[unlikely]]
                    return PyErr::lazy(ErrorKind::TypeError, multiple_values_message(table, name));
                slot = value;
                matched = true;
                break;
            }
            if (matched) continue;
            for (std::size_t i = 0; i < positional; ++i) {
                if (table.positional[i] != name) continue;
                matched = true;
                if (i < table.positional_only) {
                    misused.emplace_back(name);
                    break;
                }
                if (slots[i] != nullptr) [[unlikely]]
                    return PyErr::lazy(ErrorKind::TypeError, multiple_values_message(table, name));
                slots[i] = value;
                break;
            }
            if (!matched) [[unlikely]]
                return PyErr::lazy(ErrorKind::TypeError,
                                   unexpected_keyword_message(table, render_text(key)));
        }
    }
    if (!misused.empty()) [[unlikely]]
        return PyErr::lazy(ErrorKind::TypeError, positional_only_message(table, misused));

    if (given < table.required_positional) {
        std::vector<std::string> missing;
        for (std::size_t i = given; i < table.required_positional; ++i)
            if (slots[i] == nullptr) missing.emplace_back(table.positional[i]);
        if (!missing.empty()) [[unlikely]]
            return PyErr::lazy(ErrorKind::TypeError, missing_message(table, "positional", missing));
    }
    std::vector<std::string> missing_keywords;
    for (std::size_t k = 0; k < table.keyword_only.size(); ++k)
        if (table.keyword_only[k].required && slots[positional + k] == nullptr)
            missing_keywords.emplace_back(table.keyword_only[k].name);
    if (!missing_keywords.empty()) [[unlikely]]
        return PyErr::lazy(ErrorKind::TypeError,
                           missing_message(table, "keyword", missing_keywords));
    return std::nullopt;
}

}  // namespace ostrel
