// The binding messages, including the forms that only tables with
// optional, positional-only or keyword-only parameters can produce.
#include "binding/param_table.h"

#include <gtest/gtest.h>

namespace {

using ostrel::KeywordOnlyParam;
using ostrel::ParamTable;

constexpr std::string_view two[] = {"string", "substring"};
constexpr std::string_view three[] = {"a", "b", "c"};
constexpr KeywordOnlyParam keywords[] = {{"flag", true}, {"mode", false}};

const ParamTable plain{std::nullopt, "match_indices", two, 0, 2, {}};
const ParamTable method{"ChunksIter", "__new__", two, 0, 2, {}};
const ParamTable optional_tail{std::nullopt, "f", three, 1, 1, keywords};

TEST(BindingMessages, DisplayName) {
    EXPECT_EQ(ostrel::display_name(plain), "match_indices()");
    EXPECT_EQ(ostrel::display_name(method), "ChunksIter.__new__()");
}

TEST(BindingMessages, NameLists) {
    EXPECT_EQ(ostrel::name_list({}), "");
    EXPECT_EQ(ostrel::name_list({"a"}), "'a'");
    EXPECT_EQ(ostrel::name_list({"a", "b"}), "'a' and 'b'");
    EXPECT_EQ(ostrel::name_list({"a", "b", "c"}), "'a', 'b', and 'c'");
    EXPECT_EQ(ostrel::name_list({"a", "b", "c", "d"}), "'a', 'b', 'c', and 'd'");
}

TEST(BindingMessages, TooMany) {
    const std::string_view one[] = {"string"};
    const ParamTable single{std::nullopt, "utf16len", one, 0, 1, {}};
    EXPECT_EQ(ostrel::too_many_message(single, 2),
              "utf16len() takes 1 positional arguments but 2 were given");
    EXPECT_EQ(ostrel::too_many_message(method, 3),
              "ChunksIter.__new__() takes 2 positional arguments but 3 were given");
    const std::string_view none[] = {"x"};
    const ParamTable empty{std::nullopt, "g", std::span<const std::string_view>(none, 0), 0, 0, {}};
    EXPECT_EQ(ostrel::too_many_message(empty, 1),
              "g() takes 0 positional arguments but 1 was given");
    EXPECT_EQ(ostrel::too_many_message(optional_tail, 4),
              "f() takes from 1 to 3 positional arguments but 4 were given");
}

TEST(BindingMessages, KeywordProblems) {
    EXPECT_EQ(ostrel::multiple_values_message(plain, "string"),
              "match_indices() got multiple values for argument 'string'");
    EXPECT_EQ(ostrel::unexpected_keyword_message(plain, "String"),
              "match_indices() got an unexpected keyword argument 'String'");
    EXPECT_EQ(ostrel::positional_only_message(optional_tail, {"a"}),
              "f() got some positional-only arguments passed as keyword arguments: 'a'");
}

TEST(BindingMessages, Missing) {
    EXPECT_EQ(ostrel::missing_message(plain, "positional", {"string", "substring"}),
              "match_indices() missing 2 required positional arguments: 'string' and 'substring'");
    EXPECT_EQ(ostrel::missing_message(plain, "positional", {"string"}),
              "match_indices() missing 1 required positional argument: 'string'");
    EXPECT_EQ(ostrel::missing_message(optional_tail, "keyword", {"flag"}),
              "f() missing 1 required keyword argument: 'flag'");
}

}  // namespace
