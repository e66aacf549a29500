// The predefined folder variables against the system's own answers (with the
// shell function, through the registry fallbacks, NT and 9x), the shell
// version, and [Strings] with references into the real registry.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/program_win32.h"
#include "log/message_box.h"
#include "script/variable_table.h"
#include "script/variable_table_win32.h"

namespace dp {
namespace {

constexpr char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string WithBackslash(std::string s) {
    if (!s.empty() && s.back() != '\\') s += '\\';
    return s;
}

std::string Shell(int csidl, BOOL create = TRUE) {
    char buf[MAX_PATH + 2] = {};
    if (!SHGetSpecialFolderPathA(nullptr, buf, csidl, create)) return "";
    return WithBackslash(buf);
}

std::optional<std::string> RegText(HKEY root, const char* subkey, const char* value) {
    char buf[1024] = {};
    DWORD size = sizeof buf - 1;
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    LONG rc = RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return std::string(buf);
}

std::string Folder(HKEY root, const char* value) {
    return WithBackslash(RegText(root, kShellFolders, value).value_or(""));
}

std::string WindowsDir() {
    char buf[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(buf, sizeof buf);
    return buf;
}

// Deletes a registry value while it lives, then puts it back as it was.
class HiddenValue {
public:
    HiddenValue(HKEY root, const char* subkey, const char* value)
        : root_(root), subkey_(subkey), value_(value), old_(RegText(root, subkey, value)) {
        HKEY key;
        if (RegOpenKeyExA(root_, subkey_, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, value_);
            RegCloseKey(key);
        }
    }
    ~HiddenValue() {
        if (!old_) return;
        HKEY key;
        if (RegCreateKeyA(root_, subkey_, &key) == ERROR_SUCCESS) {
            RegSetValueExA(key, value_, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_->c_str()),
                           static_cast<DWORD>(old_->size() + 1));
            RegCloseKey(key);
        }
    }

private:
    HKEY root_;
    const char* subkey_;
    const char* value_;
    std::optional<std::string> old_;
};

// One entry per predefined variable, in order.
std::vector<std::string> Values(const VariableTable& table) {
    EXPECT_EQ(table.count(), kPredefinedCount);
    return table.values;
}

void ExpectValues(const VariableTable& table, const std::vector<std::string>& expected) {
    ASSERT_EQ(table.count(), kPredefinedCount);
    for (int i = 0; i < kPredefinedCount; ++i) {
        EXPECT_EQ(table.names[i], kPredefinedNames[i]);
        EXPECT_EQ(table.definitions[i], "");
        EXPECT_EQ(table.values[i], expected[i]) << kPredefinedNames[i];
    }
}

std::vector<std::string> CommonValues() {
    char buf[MAX_PATH + 1] = {};
    std::vector<std::string> v(kPredefinedCount);
    v[0] = WithBackslash(WindowsDir());
    GetSystemDirectoryA(buf, sizeof buf);
    v[1] = WithBackslash(buf);
    v[2] = WithBackslash(
        RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir")
            .value_or(""));
    char temp[MAX_PATH + 1] = {};
    GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    v[3] = WithBackslash(temp);
    GetTempPathA(sizeof buf, buf);
    v[4] = WithBackslash(buf);
    return v;
}

TEST(PredefinedVariables, TheRunningSystemWithTheShellFunction) {
    int minor = 0;
    int major = 0;
    VariableTable::GetShellVersion(minor, major);
    ASSERT_TRUE(major > 4 || (major == 4 && minor >= 71)) << major << "." << minor;

    VariableTable table;
    table.InitPredefined();
    EXPECT_EQ(table.programDirectory, ProgramDirectory());

    OSVERSIONINFOA os{};
    os.dwOSVersionInfoSize = sizeof os;
    ASSERT_TRUE(GetVersionExA(&os));
    ASSERT_EQ(os.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));

    std::vector<std::string> v = CommonValues();
    v[5] = Shell(CSIDL_COMMON_DESKTOPDIRECTORY);
    v[6] = Shell(CSIDL_DESKTOPDIRECTORY);
    v[7] = Shell(CSIDL_COMMON_STARTMENU);
    v[8] = Shell(CSIDL_STARTMENU);
    v[9] = Shell(CSIDL_FONTS);
    v[10] = Shell(CSIDL_TEMPLATES);
    v[11] = Shell(CSIDL_COMMON_TEMPLATES, FALSE);
    v[12] = Shell(CSIDL_PROGRAMS);
    v[13] = Shell(CSIDL_COMMON_PROGRAMS);
    v[14] = Shell(CSIDL_COMMON_APPDATA);
    for (int i = 0; i < kPredefinedCount; ++i)
        EXPECT_GT(v[i].size(), 3u) << kPredefinedNames[i] << " is empty on this system";
    ExpectValues(table, v);
    // The per-user and the common folders differ, so the choice is visible.
    EXPECT_NE(v[5], v[6]);
    EXPECT_NE(v[13], v[12]);
    EXPECT_EQ(table.IsPredefinedFolder(v[9]), 1);
}

TEST(PredefinedVariables, ShellVersionMatchesTheFixedVersionOfShell32) {
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    HMODULE version = LoadSystemLibrary("version.dll");
    ASSERT_TRUE(version);
    auto size = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(GetProcAddress(version, "GetFileVersionInfoSizeA")));
    auto info = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(GetProcAddress(version, "GetFileVersionInfoA")));
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(version, "VerQueryValueA")));
    char sys[MAX_PATH + 1] = {};
    GetSystemDirectoryA(sys, sizeof sys);
    std::string path = std::string(sys) + "\\shell32.dll";
    DWORD handle = 0;
    std::vector<char> data(size(path.c_str(), &handle));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(info(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(query(data.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    FreeLibrary(version);

    int minor = -1;
    int major = -1;
    VariableTable::GetShellVersion(minor, major);
    EXPECT_EQ(major, static_cast<int>(HIWORD(fixed->dwFileVersionMS)));
    EXPECT_EQ(minor, static_cast<int>(LOWORD(fixed->dwFileVersionMS)));
}

TEST(PredefinedVariables, RegistryFallbacksWithoutTheShellFunction) {
    for (bool nt : {true, false}) {
        VariableTable table;
        FillPredefined(table, PredefinedSystem{nt, nullptr});
        std::vector<std::string> v = CommonValues();
        HKEY common = nt ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        v[5] = Folder(common, nt ? "Common Desktop" : "Desktop");
        v[6] = Folder(HKEY_CURRENT_USER, "Desktop");
        v[7] = Folder(common, nt ? "Common Start Menu" : "Start Menu");
        v[8] = Folder(HKEY_CURRENT_USER, "Start Menu");
        v[9] = Folder(HKEY_CURRENT_USER, "Fonts");
        v[10] = Folder(HKEY_CURRENT_USER, "Templates");
        v[11] = Folder(common, nt ? "Common Templates" : "Templates");
        v[12] = Folder(HKEY_CURRENT_USER, "Programs");
        v[13] = Folder(common, nt ? "Common Programs" : "Programs");
        v[14] = Folder(HKEY_LOCAL_MACHINE, "Common AppData");
        for (int i = 5; i < kPredefinedCount; ++i)
            EXPECT_GT(v[i].size(), 3u) << kPredefinedNames[i] << " missing from Shell Folders";
        SCOPED_TRACE(nt ? "NT" : "9x");
        ExpectValues(table, v);
    }
}

TEST(PredefinedVariables, LastFallbacksWhenShellFoldersLackAValue) {
    HiddenValue fonts(HKEY_CURRENT_USER, kShellFolders, "Fonts");
    HiddenValue templates(HKEY_CURRENT_USER, kShellFolders, "Templates");
    HiddenValue commonTemplates(HKEY_LOCAL_MACHINE, kShellFolders, "Common Templates");
    const std::string windows = WindowsDir();

    VariableTable nt;
    FillPredefined(nt, PredefinedSystem{true, nullptr});
    char profile[MAX_PATH + 1] = {};
    DWORD size = sizeof profile;
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    using ProfileFn = BOOL(WINAPI*)(HANDLE, LPSTR, LPDWORD);
    HMODULE userenv = LoadSystemLibrary("userenv.dll");
    ASSERT_TRUE(userenv);
    auto getProfile = reinterpret_cast<ProfileFn>(
        reinterpret_cast<void*>(GetProcAddress(userenv, "GetUserProfileDirectoryA")));
    ASSERT_TRUE(getProfile(token, profile, &size));
    CloseHandle(token);
    EXPECT_EQ(nt.values[9], windows + "\\FONTS\\");
    EXPECT_EQ(nt.values[10], std::string(profile) + "\\Templates\\");
    EXPECT_EQ(nt.values[11], windows + "\\ShellNew\\");

    VariableTable nine;
    FillPredefined(nine, PredefinedSystem{false, nullptr});
    EXPECT_EQ(nine.values[9], windows + "\\FONTS\\");
    EXPECT_EQ(nine.values[10], windows + "\\ShellNew\\");
    EXPECT_EQ(nine.values[11], windows + "\\ShellNew\\");
}

// Runs this test program again, as a child, on one test.
DWORD RunChild(const std::string& filter) {
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string command = "\"" + std::string(self) + "\" --gtest_filter=" + filter;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xFFFFFFFF;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

// Makes Wine report Windows 98 to this test program's processes started while
// it lives (the setting of this program's name only, not of the whole prefix).
constexpr char kWineAppKey[] = "Software\\Wine\\AppDefaults\\win32_tests.exe";

class ReportedAsWin98 {
public:
    ReportedAsWin98() : old_(RegText(HKEY_CURRENT_USER, kWineAppKey, "Version")) {
        Set("win98");
        SetEnvironmentVariableA("DP_CHILD_9X", "1");
    }
    ~ReportedAsWin98() {
        SetEnvironmentVariableA("DP_CHILD_9X", nullptr);
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kWineAppKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return;
        if (old_)
            RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(old_->c_str()),
                           static_cast<DWORD>(old_->size() + 1));
        else
            RegDeleteValueA(key, "Version");
        RegCloseKey(key);
    }

private:
    static void Set(const char* text) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kWineAppKey, &key), ERROR_SUCCESS);
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(strlen(text) + 1));
        RegCloseKey(key);
    }
    std::optional<std::string> old_;
};

TEST(PredefinedVariables, NinetyEightChoicesInAProcessThatSees9x) {
    {
        ReportedAsWin98 win98;
        EXPECT_EQ(RunChild("PredefinedVariablesChild.*"), 0u);
    }
    OSVERSIONINFOA os{};
    os.dwOSVersionInfoSize = sizeof os;
    GetVersionExA(&os);
    EXPECT_EQ(os.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
}

// Runs only as the child of the test above.
TEST(PredefinedVariablesChild, PerUserFoldersStandForTheCommonOnes) {
    char flag[8] = {};
    if (!GetEnvironmentVariableA("DP_CHILD_9X", flag, sizeof flag)) GTEST_SKIP() << "child only";
    OSVERSIONINFOA os{};
    os.dwOSVersionInfoSize = sizeof os;
    ASSERT_TRUE(GetVersionExA(&os));
    ASSERT_EQ(os.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));

    VariableTable table;
    table.InitPredefined();
    std::vector<std::string> v = CommonValues();
    v[5] = Shell(CSIDL_DESKTOPDIRECTORY);
    v[6] = Shell(CSIDL_DESKTOPDIRECTORY);
    v[7] = Shell(CSIDL_STARTMENU);
    v[8] = Shell(CSIDL_STARTMENU);
    v[9] = Shell(CSIDL_FONTS);
    v[10] = Shell(CSIDL_TEMPLATES);
    v[11] = Shell(CSIDL_TEMPLATES, FALSE);
    v[12] = Shell(CSIDL_PROGRAMS);
    v[13] = Shell(CSIDL_PROGRAMS);
    v[14] = Shell(CSIDL_COMMON_APPDATA);
    ExpectValues(table, v);
}

// ---- [Strings] with references into the registry ----------------------------

class TestKey {
public:
    TestKey() {
        RegCreateKeyA(HKEY_CURRENT_USER, kPath, &key_);
        Set("Dir", "D:\\Data %NOT_EXPANDED%");
        Set("Max", std::string(260, 'm'));     // fits the 261-byte buffer
        Set("TooLong", std::string(261, 'l'));  // does not
        HKEY single;
        RegCreateKeyA(HKEY_CURRENT_USER, "DpSingle", &single);
        RegSetValueExA(single, "DpSingle", 0, REG_SZ, reinterpret_cast<const BYTE*>("single"), 7);
        RegCloseKey(single);
    }
    ~TestKey() {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, kPath);
        RegDeleteKeyA(HKEY_CURRENT_USER, "DpSingle");
    }
    void Set(const char* name, const std::string& text) {
        RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }
    static constexpr char kPath[] = "Software\\DeployatorTest";

private:
    HKEY key_ = nullptr;
};

TEST(StringsRegistry, ReferencesIntoTheRegistry) {
    TestKey key;
    std::vector<std::string> boxes;
    auto old = SetMessageBoxHandler([&](const std::string& t, const std::string&, unsigned) {
        boxes.push_back(t);
        return kAnswerOk;
    });
    VariableTable table;
    table.InitPredefined();
    const std::string windows = table.values[0];
    const struct {
        const char* line;
        std::string value;
    } cases[] = {
        {"R1=%WINDOWS_PATH%x,HKCU\\Software\\DeployatorTest\\Dir", "D:\\Data %NOT_EXPANDED%"},
        {"R2=%WINDOWS_PATH%x , HKEY_CURRENT_USER\\Software\\DeployatorTest\\Dir", "D:\\Data %NOT_EXPANDED%"},
        {"R3=%WINDOWS_PATH%x,HKCU\\Software\\DeployatorTest\\Missing", windows + "x"},
        {"R4=%WINDOWS_PATH%x,HKCU\\Software\\NoSuchKey\\Dir", windows + "x"},
        {"R5=fallback,HKXX\\Software\\DeployatorTest\\Dir", "fallback"},
        {"R6=fallback,Hkcu\\Software\\DeployatorTest\\Dir", "fallback"},
        {"R7=fallback,HKCU", ""},
        {"R8=fallback,HKCU\\DpSingle", "single"},
        {"R9=fallback,HKCU\\Software\\DeployatorTest\\Max", std::string(260, 'm')},
        {"R10=fallback,HKCU\\Software\\DeployatorTest\\TooLong", "fallback"},
    };
    std::string section;
    for (const auto& c : cases) section += std::string(c.line) + "\r\n";
    section.resize(section.size() - 2);
    EXPECT_EQ(table.ParseStringsSection(section), 1);
    for (const auto& c : cases) {
        std::string name(c.line, strchr(c.line, '=') - c.line);
        ASSERT_NE(table.FindValue(name), nullptr) << name;
        EXPECT_EQ(*table.FindValue(name), c.value) << name;
    }
    // R1 holds %NOT_EXPANDED% as it was read: a later strict expansion fails on it.
    std::string text = "%R1%!";
    EXPECT_EQ(table.ExpandVariables(text, false), 0);
    EXPECT_EQ(boxes, std::vector<std::string>{"Undefined variable NOT_EXPANDED."});
    SetMessageBoxHandler(old);
}

TEST(StringsRegistry, LargeSectionReadsQuickly) {
    // 20,000 entries, about 1 MB: plain texts, references to earlier entries
    // and to the predefined folders, and one in ten read from the registry.
    TestKey key;
    std::string section;
    for (int i = 0; i < 20000; ++i) {
        char line[128];
        if (i % 10 == 9)
            std::snprintf(line, sizeof line, "ENTRY_%05d = %%WINDOWS_PATH%%fallback\\%05d,HKCU\\Software\\DeployatorTest\\Dir", i, i);
        else if (i % 2)
            std::snprintf(line, sizeof line, "ENTRY_%05d = %%ENTRY_%05d%%\\sub\\folder_%05d\\files.dat.", i, i - 1, i);
        else
            std::snprintf(line, sizeof line, "ENTRY_%05d = %%TEMP_PATH%%Vendor\\Product\\Component_%05d\\data.bin", i, i);
        section += line;
        section += "\r\n";
    }
    section.resize(section.size() - 2);
    EXPECT_GT(section.size(), 1000000u);

    VariableTable table;
    table.InitPredefined();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(table.ParseStringsSection(section), 1);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("[Strings] of %zu bytes, 20000 entries: %lld ms\n", section.size(), static_cast<long long>(ms));
    EXPECT_EQ(table.count(), kPredefinedCount + 20000);
    EXPECT_EQ(*table.FindValue("ENTRY_00019"), "D:\\Data %NOT_EXPANDED%");
    EXPECT_LT(ms, 1000);
}

}  // namespace
}  // namespace dp
