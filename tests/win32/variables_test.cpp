// The predefined folder variables against the system's own answers (with the
// shell function, through the registry fallbacks, NT and 9x), and [Strings]
// with references into the real registry.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <process.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/program_win32.h"
#include "script/variable_table.h"
#include "script/variable_table_win32.h"
#include "unit/recorders.h"

namespace dp {
namespace {

constexpr char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string WithBackslash(std::string s) {
    if (!s.empty() && s.back() != '\\') s += '\\';
    return s;
}

std::optional<std::string> RegText(HKEY root, const char* subkey, const char* value) {
    char buf[1024] = {};
    DWORD size = sizeof buf;
    if (RegGetValueA(root, subkey, value, RRF_RT_ANY | RRF_NOEXPAND, nullptr, buf, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(buf);
}

void SetRegText(HKEY root, const char* subkey, const char* name, const std::optional<std::string>& value) {
    if (value)
        RegSetKeyValueA(root, subkey, name, REG_SZ, value->c_str(), static_cast<DWORD>(value->size() + 1));
    else
        RegDeleteKeyValueA(root, subkey, name);
}

// Sets (or, with nullopt, deletes) a registry value while it lives, then puts
// back what was there.
class RegValueScope {
public:
    RegValueScope(HKEY root, const char* subkey, const char* name, std::optional<std::string> value)
        : root_(root), subkey_(subkey), name_(name), old_(RegText(root, subkey, name)) {
        SetRegText(root, subkey, name, value);
    }
    ~RegValueScope() { SetRegText(root_, subkey_, name_, old_); }

private:
    HKEY root_;
    const char *subkey_, *name_;
    std::optional<std::string> old_;
};

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
    v[2] = WithBackslash(RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir")
                             .value_or(""));
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

TEST(PredefinedVariables, RegistryFallbacksWithoutTheShellFunction) {
    auto folder = [](HKEY root, const char* value) {
        return WithBackslash(RegText(root, kShellFolders, value).value_or(""));
    };
    for (bool nt : {true, false}) {
        SCOPED_TRACE(nt ? "NT" : "9x");
        VariableTable table;
        FillPredefined(table, PredefinedSystem{nt, nullptr});
        std::vector<std::string> v = CommonValues();
        const HKEY common = nt ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        v[5] = folder(common, nt ? "Common Desktop" : "Desktop");
        v[6] = folder(HKEY_CURRENT_USER, "Desktop");
        v[7] = folder(common, nt ? "Common Start Menu" : "Start Menu");
        v[8] = folder(HKEY_CURRENT_USER, "Start Menu");
        v[9] = folder(HKEY_CURRENT_USER, "Fonts");
        v[10] = folder(HKEY_CURRENT_USER, "Templates");
        v[11] = folder(common, nt ? "Common Templates" : "Templates");
        v[12] = folder(HKEY_CURRENT_USER, "Programs");
        v[13] = folder(common, nt ? "Common Programs" : "Programs");
        v[14] = folder(HKEY_LOCAL_MACHINE, "Common AppData");
        ExpectValues(table, v);
    }
}

TEST(PredefinedVariables, LastFallbacksWhenShellFoldersLackAValue) {
    RegValueScope fonts(HKEY_CURRENT_USER, kShellFolders, "Fonts", std::nullopt);
    RegValueScope templates(HKEY_CURRENT_USER, kShellFolders, "Templates", std::nullopt);
    RegValueScope commonTemplates(HKEY_LOCAL_MACHINE, kShellFolders, "Common Templates", std::nullopt);
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
        RegValueScope win98(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\win32_tests.exe", "Version", "win98");
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

constexpr char kTestKey[] = "Software\\DeployatorTest";

TEST(StringsRegistry, ReferencesIntoTheRegistry) {
    RegValueScope dir(HKEY_CURRENT_USER, kTestKey, "Dir", "D:\\Data %NOT_EXPANDED%");
    RegValueScope max(HKEY_CURRENT_USER, kTestKey, "Max", std::string(260, 'm'));         // fits 261 bytes
    RegValueScope tooLong(HKEY_CURRENT_USER, kTestKey, "TooLong", std::string(261, 'l'));  // does not
    RegValueScope single(HKEY_CURRENT_USER, "DpSingle", "DpSingle", "single");
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

TEST(StringsRegistry, LargeSectionReadsQuickly) {
    // 20,000 entries, about 1 MB: plain texts, references to earlier entries
    // and to the predefined folders, and one in ten read from the registry.
    RegValueScope dir(HKEY_CURRENT_USER, kTestKey, "Dir", "D:\\Data");
    std::string section;
    for (int i = 0; i < 20000; ++i) {
        char line[128];
        if (i % 10 == 9)
            std::snprintf(line, sizeof line, "ENTRY_%05d = %%WINDOWS_PATH%%fallback\\%05d,HKCU\\%s\\Dir\r\n", i, i, kTestKey);
        else if (i % 2)
            std::snprintf(line, sizeof line, "ENTRY_%05d = %%ENTRY_%05d%%\\sub\\folder_%05d\\files.dat.\r\n", i, i - 1, i);
        else
            std::snprintf(line, sizeof line, "ENTRY_%05d = %%TEMP_PATH%%Vendor\\Product\\Component_%05d\\data.bin\r\n", i, i);
        section += line;
    }
    section.resize(section.size() - 2);
    ASSERT_GT(section.size(), 1000000u);
    VariableTable table;
    table.InitPredefined();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(table.ParseStringsSection(section), 1);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("[ measure  ] [Strings] of %zu bytes, 20000 entries: %lld ms\n", section.size(), static_cast<long long>(ms));
    EXPECT_EQ(*table.FindValue("ENTRY_19999"), "D:\\Data");
    EXPECT_LT(ms, 1000);
}

}  // namespace
}  // namespace dp
