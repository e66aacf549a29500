#include <windows.h>

#include <gtest/gtest.h>

#include "app/program_win32.h"
#include "log/system_text.h"

namespace dp {
namespace {

TEST(Win32Smoke, StringTableFromResourcesAndSystemText) {
    char buf[64] = {};
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 129, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Error");
    EXPECT_NE(SystemErrorText(2), "");
    EXPECT_EQ(ProgramDirectory().back(), '\\');
}

}  // namespace
}  // namespace dp

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
