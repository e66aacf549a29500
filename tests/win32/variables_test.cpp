// The predefined folder variables against the system's own answers (with the
// shell function, through the registry fallbacks, NT and 9x), and [Strings]
// with references into the real registry.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <process.h>

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

// The five folders that come from the same calls on every path.
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
    return v;
}

// Entries 5 to 14 as the shell function gives them; on 9x the per-user
// folders stand for the common ones.
std::vector<std::string> ShellValues(bool nt) {
    const int ids[] = {nt ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY,
                       nt ? CSIDL_COMMON_STARTMENU : CSIDL_STARTMENU, CSIDL_STARTMENU, CSIDL_FONTS,
                       CSIDL_TEMPLATES, nt ? CSIDL_COMMON_TEMPLATES : CSIDL_TEMPLATES, CSIDL_PROGRAMS,
                       nt ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, CSIDL_COMMON_APPDATA};
    std::vector<std::string> v = CommonValues();
    for (int i = 5; i < kPredefinedCount; ++i) {
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
        FillPredefined(table, PredefinedSystem{nt, nullptr});
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
    FillPredefined(nt, PredefinedSystem{true, nullptr});
    FillPredefined(nine, PredefinedSystem{false, nullptr});
    EXPECT_EQ(std::vector<std::string>(nt.values.begin() + 9, nt.values.begin() + 12),
              (std::vector<std::string>{windows + "\\FONTS\\", std::string(profile) + "\\Templates\\",
                                        windows + "\\ShellNew\\"}));
    EXPECT_EQ(std::vector<std::string>(nine.values.begin() + 9, nine.values.begin() + 12),
              (std::vector<std::string>{windows + "\\FONTS\\", windows + "\\ShellNew\\", windows + "\\ShellNew\\"}));
}

TEST(PredefinedVariables, NinetyEightChoicesInAProcessThatSees9x) {
    {
        // Wine reports Windows 98 to processes of this program's name started
        // meanwhile (not to the whole prefix).
        test::RegValueScope win98(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\win32_tests.exe", "Version", "win98");
        SetEnvironmentVariableA("DP_CHILD_9X", "1");
        // This test program again, as a child, on the test below.
        char self[MAX_PATH + 1] = {};
        GetModuleFileNameA(nullptr, self, sizeof self);
        EXPECT_EQ(_spawnl(_P_WAIT, self, "win32_tests", "--gtest_filter=PredefinedVariablesChild.*", nullptr), 0);
        SetEnvironmentVariableA("DP_CHILD_9X", nullptr);
    }
    OSVERSIONINFOA os{sizeof os};
    GetVersionExA(&os);
    EXPECT_EQ(os.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));  // put back for this process
}

// Runs only as the child of the test above; fails if it does not see 9x.
TEST(PredefinedVariablesChild, PerUserFoldersStandForTheCommonOnes) {
    char flag[8] = {};
    if (!GetEnvironmentVariableA("DP_CHILD_9X", flag, sizeof flag)) GTEST_SKIP() << "child only";
    OSVERSIONINFOA os{sizeof os};
    ASSERT_TRUE(GetVersionExA(&os));
    ASSERT_EQ(os.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
    VariableTable table;
    table.InitPredefined();
    ExpectValues(table, ShellValues(false));
}

// ---- [Strings] with references into the registry ----------------------------

TEST(StringsRegistry, ReferencesIntoTheRegistry) {
    const test::ScratchKey key("Software\\DeployatorTest"), single("DpSingle");
    const std::pair<const char*, std::string> values[] = {
        {"Dir", "D:\\Data %NOT_EXPANDED%"},
        {"Max", std::string(260, 'm')},       // fits 261 bytes
        {"TooLong", std::string(261, 'l')}};  // does not
    for (const auto& [name, text] : values) test::WriteRegValue(HKEY_CURRENT_USER, key.key(), name, test::RegSz(text));
    test::WriteRegValue(HKEY_CURRENT_USER, "DpSingle", "DpSingle", test::RegSz("single"));
    test::BoxRecorder boxes;
    VariableTable table;
    table.InitPredefined();
    const std::string windows = table.values[0];
    const struct {
        std::string line, value;
    } cases[] = {
        {"R1=%WINDOWS_PATH%x,HKCU\\Software\\DeployatorTest\\Dir", "D:\\Data %NOT_EXPANDED%"},
        {"R2=%WINDOWS_PATH%x , HKEY_CURRENT_USER\\Software\\DeployatorTest\\Dir", "D:\\Data %NOT_EXPANDED%"},
        {"R3=%WINDOWS_PATH%x,HKCU\\Software\\DeployatorTest\\Missing", windows + "x"},
        {"R4=%WINDOWS_PATH%x,HKCU\\Software\\NoSuchKey\\Dir", windows + "x"},
        {"R5=fallback,HKXX\\Software\\DeployatorTest\\Dir", "fallback"},  // no such root
        {"R6=fallback,Hkcu\\Software\\DeployatorTest\\Dir", "fallback"},  // roots are case-sensitive
        {"R7=fallback,HKCU", ""},  // no backslash: empty, the default is not used
        {"R8=fallback,HKCU\\DpSingle", "single"},  // one backslash: key and value share the name
        {"R9=fallback,HKCU\\Software\\DeployatorTest\\Max", std::string(260, 'm')},
        {"R10=fallback,HKCU\\Software\\DeployatorTest\\TooLong", "fallback"},
        {"R11=fallback,", "fallback"},  // nothing after the comma: no reference
        {"R12=a,b,HKCU\\Software\\DeployatorTest\\Dir", "a"},  // only the first comma splits
        {"R13=%R5%\\%R8%", "fallback\\single"},  // earlier entries are defined
        {"R14=%NOPE%,HKCU\\Software\\DeployatorTest\\Missing", "%NOPE%"},  // reported, but it stands
    };
    std::string section;
    for (const auto& c : cases) section += (section.empty() ? "" : "\r\n") + c.line;
    EXPECT_EQ(table.ParseStringsSection(section), 1);
    for (const auto& c : cases) {
        const std::string name = c.line.substr(0, c.line.find('='));
        ASSERT_NE(table.FindValue(name), nullptr) << name;
        EXPECT_EQ(*table.FindValue(name), c.value) << name;
    }
    // R1 holds %NOT_EXPANDED% as it was read: a later strict expansion fails on it.
    std::string text = "%R1%!";
    EXPECT_EQ(table.ExpandVariables(text, false), 0);
    EXPECT_EQ(boxes.boxes,
              (std::vector<std::string>{"|Undefined variable NOPE.|0", "|Undefined variable NOT_EXPANDED.|0"}));
}

}  // namespace
}  // namespace dp
