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

TEST(Text, LastBackslashSkipsSecondBytesOfDoubleByteCharacters) {
    auto shiftJisLead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc); };
    auto none = [](unsigned char) { return false; };
    const std::string path = "C:\\Fonts\\\x95\\.ttf";  // the character 0x95 0x5C ends the name
    EXPECT_EQ(FindLastBackslash(path, shiftJisLead), 8u);
    EXPECT_EQ(FindLastBackslash(path, none), 10u);
    EXPECT_EQ(FindLastBackslash("name\\\x81", shiftJisLead), 4u);  // a lead byte at the end stays alone
    EXPECT_EQ(FindLastBackslash("no folder", none), std::string_view::npos);
}

}  // namespace
}  // namespace dp
