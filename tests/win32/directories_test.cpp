// The directory operations against the running system: which folders
// [DeleteDirectory] refuses here, and the removal of shortcut folders.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/program_win32.h"
#include "file_test_support.h"
#include "items/directories.h"
#include "script/variable_table.h"
#include "script/variable_table_win32.h"

namespace dp {
namespace {

using test::Exists;

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
        {WindowsDirectory(), true},
        {SystemDirectory() + "\\", true},
        {profiles, true},                        // C:\users
        {profile, true},                         // this user's profile
        {profiles + "\\someone else", true},     // any user's profile
        {profile + "\\Desktop\\..", true},
        {variables.values[6], true},             // USER_DESKTOP, below the profile
        {variables.values[3], true},             // TEMP_PATH
        {dir.path(), false},                     // a folder of its own in TEMP
        {"\\\\server\\share", true},
    };
    for (const auto& [path, refused] : cases) EXPECT_EQ(IsDeletionRefused(path, variables), refused) << path;
    // A relative path is taken from the current directory.
    SetCurrentDirectoryA(WindowsDirectory().c_str());
    EXPECT_TRUE(IsDeletionRefused("system32", variables));
    SetCurrentDirectoryA(dir.path().c_str());
    EXPECT_FALSE(IsDeletionRefused("child", variables));
}

TEST(DirectoriesOnThisSystem, ShortcutFolderGoesWhenEmptyAndNotPredefined) {
    test::ScratchDir dir;
    const std::string programs = dir / "Programs\\";
    VariableTable variables;
    for (int i = 0; i < kPredefinedCount; ++i)  // COMMON_MENU_PROGRAMS is the scratch Programs folder
        variables.AddEntry(kPredefinedNames[i], "", i == 13 ? programs : dir / ("F" + std::to_string(i) + "\\"));
    for (const char* folder : {"", "Product", "Full"}) CreateDirectoryA((programs + folder).c_str(), nullptr);
    test::WriteFileText(programs + "Full\\other.lnk", "");

    RemoveShortcutFolder(programs + "Product\\Product", variables);
    RemoveShortcutFolder(programs + "Full\\Product.lnk", variables);
    EXPECT_FALSE(Exists(programs + "Product"));
    EXPECT_TRUE(Exists(programs + "Full\\other.lnk"));

    // Empty, the predefined folder still stays (named in any case).
    DeleteFileA((programs + "Full\\other.lnk").c_str());
    RemoveDirectoryA((programs + "Full").c_str());
    std::string upper = programs;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    RemoveShortcutFolder(upper + "Product.lnk", variables);
    EXPECT_TRUE(Exists(programs));
}

}  // namespace
}  // namespace dp
