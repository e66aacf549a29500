// Which folders [DeleteDirectory] refuses on the running system (the
// deletions themselves are shown by the scenario directories.scn).
#include <windows.h>

#include <gtest/gtest.h>

#include "base/program_win32.h"
#include "test_support.h"
#include "items/directories.h"
#include "script/variable_table.h"
#include "script/variable_table_win32.h"

namespace dp {
namespace {

std::string Environment(const char* name) {
    char value[MAX_PATH * 2] = {};
    GetEnvironmentVariableA(name, value, sizeof value);
    return value;
}

TEST(DirectoriesOnThisSystem, SystemFoldersProfilesAndPredefinedFoldersAreRefused) {
    VariableTable variables;
    FillPredefined(variables, DetectPredefinedSystem());
    const std::string profile = Environment("USERPROFILE");
    ASSERT_FALSE(profile.empty());
    const std::string profiles = profile.substr(0, profile.rfind('\\'));
    test::ScratchDir dir;
    const std::pair<std::string, bool> cases[] = {
        {WindowsDirectory(), true}, {SystemDirectory() + "\\", true}, {profiles, true}, {profile, true},
        {profiles + "\\someone else", true},  // any user's profile
        {profile + "\\Desktop\\..", true}, {variables.values[3], true},  // TEMP_PATH
        {dir.path(), false},                  // a folder of its own in TEMP
    };
    for (const auto& [path, refused] : cases) EXPECT_EQ(IsDeletionRefused(path, variables), refused) << path;
    // A relative path is taken from the current directory.
    SetCurrentDirectoryA(WindowsDirectory().c_str());
    EXPECT_TRUE(IsDeletionRefused("system32", variables));
    SetCurrentDirectoryA(dir.path().c_str());
    EXPECT_FALSE(IsDeletionRefused("child", variables));
}

}  // namespace
}  // namespace dp
