// The messages of argument binding, built only when binding fails.
#include "binding/param_table.h"

namespace ostrel {

std::string display_name(const ParamTable& table) {
    std::string out;
    if (table.class_name) {
        out += *table.class_name;
        out += '.';
    }
    out += table.function_name;
    out += "()";
    return out;
}

std::string name_list(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            if (i + 1 < names.size())
                out += ", ";
            else
                out += names.size() == 2 ? " and " : ", and ";
        }
        out += '\'';
        out += names[i];
        out += '\'';
    }
    return out;
}

std::string too_many_message(const ParamTable& table, std::size_t given) {
    // "positional arguments" stays plural even for a single parameter.
    std::string out = display_name(table) + " takes ";
    std::size_t total = table.positional.size();
    if (table.required_positional < total)
        out += "from " + std::to_string(table.required_positional) + " to ";
    out += std::to_string(total) + " positional arguments but " + std::to_string(given) +
           (given == 1 ? " was" : " were") + " given";
    return out;
}

std::string multiple_values_message(const ParamTable& table, std::string_view name) {
    return display_name(table) + " got multiple values for argument '" + std::string(name) + "'";
}

std::string unexpected_keyword_message(const ParamTable& table, std::string_view key) {
    return display_name(table) + " got an unexpected keyword argument '" + std::string(key) + "'";
}

std::string positional_only_message(const ParamTable& table,
                                    const std::vector<std::string>& names) {
    return display_name(table) +
           " got some positional-only arguments passed as keyword arguments: " + name_list(names);
}

std::string missing_message(const ParamTable& table, std::string_view kind,
                            const std::vector<std::string>& names) {
    return display_name(table) + " missing " + std::to_string(names.size()) + " required " +
           std::string(kind) + (names.size() == 1 ? " argument" : " arguments") + ": " +
           name_list(names);
}

}  // namespace ostrel
