#include "script/placement_text.h"

#include <gtest/gtest.h>

#include <array>

namespace dp {
namespace {

std::array<int32_t, 4> Rect(const char* text) {
    int32_t r[4] = {20, 20, 600, 400};
    ParseRectText(text, r);
    return {r[0], r[1], r[2], r[3]};
}

std::array<int32_t, 9> Columns(const char* text) {
    int32_t c[9] = {80, 80, 80, 80, 30, 30, 30, 30, 30};
    ParseColumnsText(text, c);
    return {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]};
}

TEST(Placement, RectText) {
    using R = std::array<int32_t, 4>;
    EXPECT_EQ(Rect("10,20,300,400"), (R{10, 20, 300, 400}));
    EXPECT_EQ(Rect(" 10, 20 ,300,400px"), (R{10, 20, 300, 400}));
    EXPECT_EQ(Rect("10,20"), (R{10, 20, 600, 400}));  // names left and top only
    EXPECT_EQ(Rect("10,20,30"), (R{10, 20, 30, 400}));
    EXPECT_EQ(Rect("1,2,3,4,5"), (R{1, 2, 3, 5}));  // bottom: after the last comma
    EXPECT_EQ(Rect(""), (R{20, 20, 600, 400}));
    EXPECT_EQ(Rect("x,,3,4"), (R{0, 0, 3, 4}));
}

TEST(Placement, ColumnsText) {
    using C = std::array<int32_t, 9>;
    EXPECT_EQ(Columns("1,2,3,4,5,6,7,8,9"), (C{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Columns("1,2,3,4,5,6,7,8,9,10,11"), (C{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Columns("100,90"), (C{100, 90, 80, 80, 30, 30, 30, 30, 30}));
    EXPECT_EQ(Columns(""), (C{80, 80, 80, 80, 30, 30, 30, 30, 30}));
}

}  // namespace
}  // namespace dp
