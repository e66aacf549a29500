#include "items/font_substitutes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>


namespace dp {
namespace {

using Values = std::vector<std::optional<std::string>>;

TEST(ParseFontSubstitutes, TrimsQuotesAndBlanksAndNeedsAnEqualsSign) {
    const struct {
        std::string section;
        int deletion, result;
        std::vector<std::string> names;
        Values values;
    } cases[] = {
        {"MS Sans Serif,204=MS Sans Serif,0", 0, 1, {"MS Sans Serif,204"}, {"MS Sans Serif,0"}},
        {"\"Helv\" = \t\"Arial\"\r\n \"a\"b\" = \"x=\"y\" ", 0, 1, {"Helv", "a\"b"}, {"Arial", "x=\"y"}},
        {"Helv=", 0, 1, {"Helv"}, {""}},
        {"Helv=\nTms Rmn=ignored", 1, 1, {"Helv", "Tms Rmn"}, {std::nullopt, std::nullopt}},
        {"%NAME%=x", 0, 1, {"%NAME%"}, {"x"}},  // no variables here
        {"a=b\nno sign\nc=d", 1, 0, {"a"}, {std::nullopt}},  // the lines before it stay
        {"", 0, 1, {}, {}},
        {" \"\t\r\n", 0, 1, {}, {}},
    };
    for (const auto& c : cases) {
        FontSubstituteList list;
        EXPECT_EQ(ParseFontSubstitutes(list, c.section, c.deletion), c.result) << c.section;
        EXPECT_EQ(list.names, c.names) << c.section;
        EXPECT_EQ(list.values, c.values) << c.section;
        EXPECT_EQ(list.rebootRequired, 0);
    }
}

}  // namespace
}  // namespace dp
