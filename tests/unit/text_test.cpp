#include "base/text.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

TEST(Text, LinesTrimsAndPercent) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(SplitLines(""), V{""});
    EXPECT_EQ(SplitLines("a\r\nb\n\nc"), (V{"a\r", "b", "", "c"}));
    EXPECT_EQ(SplitLines("x\n"), (V{"x", ""}));
    EXPECT_EQ(CountLines("a\nb\n"), 3);

    std::string t = " \r\n\tx y\t \n";
    EXPECT_EQ(TrimChars(t, " \n", " \r\n"), "\tx y\t");  // each end has its own set
    EXPECT_EQ(TrimView("\"\" q \"", "\" "), "q");

    EXPECT_TRUE(EqualNoCase("Program_Files", "PROGRAM_files"));
    EXPECT_FALSE(EqualNoCase("a", "ab"));

    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 3), 66);
    EXPECT_EQ(ProgressPercent(5, 0, 42), 42);  // no total: the bar stays
    EXPECT_EQ(ProgressPercent(2000000000, 2000000001), 99);  // no overflow in done * 100
}

}  // namespace
}  // namespace dp
