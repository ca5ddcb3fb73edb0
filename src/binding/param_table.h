// ParamTable: the parameters of one callable, and the exact TypeError
// messages of argument binding. Plain C++ with no Python header, so that
// every message form is unit-tested, including forms the module's own
// tables never reach.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct KeywordOnlyParam {
    std::string_view name;
    bool required;
};

struct ParamTable {
    std::optional<std::string_view> class_name;  // only for a method of a class
    std::string_view function_name;
    std::span<const std::string_view> positional;
    std::size_t positional_only = 0;
    std::size_t required_positional = 0;
    std::span<const KeywordOnlyParam> keyword_only = {};

    std::size_t slot_count() const noexcept { return positional.size() + keyword_only.size(); }
    bool any_required_keyword() const noexcept {
        for (const KeywordOnlyParam& param : keyword_only)
            if (param.required) return true;
        return false;
    }
};

// "name()" or "Class.name()": the head of every binding message.
std::string display_name(const ParamTable& table);

// 'a'; 'a' and 'b'; 'a', 'b', and 'c'.
std::string name_list(const std::vector<std::string>& names);

std::string too_many_message(const ParamTable& table, std::size_t given);
std::string multiple_values_message(const ParamTable& table, std::string_view name);
std::string unexpected_keyword_message(const ParamTable& table, std::string_view key);
std::string positional_only_message(const ParamTable& table, const std::vector<std::string>& names);
// kind is "positional" or "keyword".
std::string missing_message(const ParamTable& table, std::string_view kind,
                            const std::vector<std::string>& names);

}  // namespace ostrel
