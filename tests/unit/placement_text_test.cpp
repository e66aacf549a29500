#include "script/placement_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace dp {
namespace {

std::vector<int32_t> Columns(std::string_view text) {
    int32_t columns[9] = {80, 80, 80, 80, 30, 30, 30, 30, 30};
    ParseColumnsText(text, columns);
    return {std::begin(columns), std::end(columns)};
}

TEST(PlacementText, StoredFormatsReadBackTheSameValues) {
    const int32_t rect[4] = {-1200, 20, 600, 2147483647};
    EXPECT_EQ(FormatRectText(rect), "-1200 ,20 ,600 ,2147483647");
    int32_t back[4] = {};
    ParseRectText(FormatRectText(rect), back);
    EXPECT_EQ(std::vector<int32_t>(back, back + 4), std::vector<int32_t>(rect, rect + 4));

    // The widths the list reports; the ninth column does not exist (0).
    const int32_t listed[9] = {120, 80, 0, 80, 30, 30, 30, 31, 0};
    int32_t stored[9];
    for (int i = 0; i < 9; ++i) stored[i] = StoredColumnWidth(listed[i]);
    EXPECT_EQ(FormatColumnsText(stored), "120 ,80 ,10 ,80 ,30 ,30 ,30 ,31, 10");
    EXPECT_EQ(Columns(FormatColumnsText(stored)), (std::vector<int32_t>{120, 80, 10, 80, 30, 30, 30, 31, 10}));
    EXPECT_LT(FormatColumnsText(stored).size(), kPlacementDataSize);
}

TEST(PlacementText, ColumnWidthsOutOfRangeKeepTheDefaults) {
    const struct {
        const char* text;
        std::vector<int32_t> widths;
    } cases[] = {
        {"", {80, 80, 80, 80, 30, 30, 30, 30, 30}},
        {"100", {100, 80, 80, 80, 30, 30, 30, 30, 30}},
        {"-5 ,10001 ,10000 ,0 ,7", {80, 80, 10000, 0, 7, 30, 30, 30, 30}},
        {"99999999999 ,-2147483648 ,1,2,3,4,5,6,7,8", {80, 80, 1, 2, 3, 4, 5, 6, 7}},
    };
    for (const auto& c : cases) EXPECT_EQ(Columns(c.text), c.widths) << c.text;
}

}  // namespace
}  // namespace dp
