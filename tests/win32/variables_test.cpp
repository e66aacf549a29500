// The predefined folder variables against the system's own answers (with the
// shell function, and through the registry fallbacks, NT and 9x). The 9x
// choices of a real run are shown by reboot_now_9x.scn, [Strings] with
// references into the registry by strings_registry.scn.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "script/variable_table_win32.h"
#include "test_support.h"

namespace dp {
namespace {

constexpr char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string WithBackslash(std::string s) {
    if (!s.empty() && s.back() != '\\') s += '\\';
    return s;
}

std::string WindowsDir() {
    char buf[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(buf, sizeof buf);
    return buf;
}

// The folders that come from the same calls on every path.
std::vector<std::string> CommonValues() {
    char buf[MAX_PATH + 1] = {};
    std::vector<std::string> v(kPredefinedCount);
    v[0] = WithBackslash(WindowsDir());
    GetSystemDirectoryA(buf, sizeof buf);
    v[1] = WithBackslash(buf);
    v[2] = WithBackslash(test::RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"));
    GetEnvironmentVariableA("TEMP", buf, sizeof buf);
    v[3] = WithBackslash(buf);
    GetTempPathA(sizeof buf, buf);
    v[4] = WithBackslash(buf);
    // Both architectures' folders, as a 64-bit system (the prefix) has them.
    v[kProgramFilesX86Entry] = v[2];
    v[kProgramFilesX64Entry] = WithBackslash(
        test::RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", KEY_WOW64_64KEY));
    GetSystemWow64DirectoryA(buf, sizeof buf);
    v[kWindowsSystemX86Entry] = WithBackslash(buf);
    v[kWindowsSystemX64Entry] = WithBackslash(WindowsDir()) + "Sysnative\\";
    return v;
}

// Entries 5 to 14 as the shell function gives them (the others as
// CommonValues); on 9x the per-user folders stand for the common ones.
std::vector<std::string> ShellValues(bool nt) {
    const int ids[] = {nt ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY,
                       nt ? CSIDL_COMMON_STARTMENU : CSIDL_STARTMENU, CSIDL_STARTMENU, CSIDL_FONTS,
                       CSIDL_TEMPLATES, nt ? CSIDL_COMMON_TEMPLATES : CSIDL_TEMPLATES, CSIDL_PROGRAMS,
                       nt ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, CSIDL_COMMON_APPDATA};
    std::vector<std::string> v = CommonValues();
    for (int i = 5; i < 15; ++i) {
        char buf[MAX_PATH + 2] = {};
        SHGetSpecialFolderPathA(nullptr, buf, ids[i - 5], i != 11);  // common templates: not created
        v[i] = WithBackslash(buf);
    }
    return v;
}

void ExpectValues(const VariableTable& table, const std::vector<std::string>& expected) {
    ASSERT_EQ(table.count(), kPredefinedCount);
    for (int i = 0; i < kPredefinedCount; ++i) {
        EXPECT_GT(expected[i].size(), 3u) << kPredefinedNames[i] << " is empty on this system";
        EXPECT_EQ(table.names[i], kPredefinedNames[i]);
        EXPECT_EQ(table.values[i], expected[i]) << kPredefinedNames[i];
    }
}

TEST(PredefinedVariables, TheRunningSystemWithTheShellFunction) {
    VariableTable table;
    table.InitPredefined();
    EXPECT_EQ(table.programDirectory, ProgramDirectory());
    const std::vector<std::string> v = ShellValues(true);
    ExpectValues(table, v);
    EXPECT_NE(v[5], v[6]);  // the per-user and the common folders differ: the choice shows
    EXPECT_NE(v[13], v[12]);
}

// Without the shell function the Shell Folders values give the same folders.
TEST(PredefinedVariables, RegistryFallbacksGiveWhatTheShellGives) {
    for (bool nt : {true, false}) {
        VariableTable table;
        FillPredefined(table, PredefinedSystem{nt, nullptr, true});
        ExpectValues(table, ShellValues(nt));
    }
}

TEST(PredefinedVariables, LastFallbacksWhenShellFoldersLackAValue) {
    test::RegValueScope fonts(HKEY_CURRENT_USER, kShellFolders, "Fonts", std::nullopt);
    test::RegValueScope templates(HKEY_CURRENT_USER, kShellFolders, "Templates", std::nullopt);
    test::RegValueScope commonTemplates(HKEY_LOCAL_MACHINE, kShellFolders, "Common Templates", std::nullopt);
    const std::string windows = WindowsDir();
    char profile[MAX_PATH + 1] = {};
    GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
    ASSERT_NE(profile[0], 0);

    VariableTable nt, nine;
    FillPredefined(nt, PredefinedSystem{true, nullptr, true});
    FillPredefined(nine, PredefinedSystem{false, nullptr, true});
    EXPECT_EQ(std::vector<std::string>(nt.values.begin() + 9, nt.values.begin() + 12),
              (std::vector<std::string>{windows + "\\FONTS\\", std::string(profile) + "\\Templates\\",
                                        windows + "\\ShellNew\\"}));
    EXPECT_EQ(std::vector<std::string>(nine.values.begin() + 9, nine.values.begin() + 12),
              (std::vector<std::string>{windows + "\\FONTS\\", windows + "\\ShellNew\\", windows + "\\ShellNew\\"}));
}

}  // namespace
}  // namespace dp
