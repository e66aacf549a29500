// The path policy in every file call: hostile paths never reach a file (nor
// hang on a device), and paths longer than MAX_PATH work. And
// which folders [DeleteDirectory] refuses on the running system (the
// deletions themselves are shown by directories.scn).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/file_system_win32.h"
#include "items/directories/directories.h"
#include "base/program_win32.h"
#include "base/text.h"
#include "items/files/file_facts.h"
#include "items/files/file_operations.h"
#include "script/variable_table_win32.h"
#include "test_support.h"

namespace dp {
namespace {

using test::ReadFileText;
using test::ScratchDir;
using test::WriteFileText;

TEST(PathPolicy, HostilePathsAreRefusedBeforeAnyCall) {
    ScratchDir dir;
    const std::string keep = dir / "keep.txt";
    WriteFileText(keep, "keep");
    WriteFileText(dir / "src", "new");
    // The system cuts a path's length modulo 64 KiB: the first two would
    // reach keep.txt.
    const struct {
        std::string path;
        uint32_t code;
    } cases[] = {
        {keep + "\\" + std::string(65535, 'x'), kErrorNameTooLong},
        {keep + "\\" + std::string(1048575, 'y'), kErrorNameTooLong},
        {dir / std::string(32760, 'z'), kErrorNameTooLong},
        {dir / "COM1", kErrorInvalidName},
        {dir / "aux.txt", kErrorInvalidName},  // opening it would block
        {dir / "Lpt9.log.bak", kErrorInvalidName},
        {dir / "com1\\.", kErrorInvalidName},  // a device only once normalised
        {"\\\\.\\COM2", kErrorInvalidName},
        {std::string("C:\\\0x", 4), kErrorInvalidName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.substr(0, 80));
        EXPECT_EQ(CheckPath(c.path), c.code);
        EXPECT_FALSE(PathExists(c.path));
        int32_t flag = 0;
        EXPECT_EQ(CopyPackageFile(dir / "src", c.path, flag), c.code);
        EXPECT_EQ(CopyPackageFile(c.path, dir / "t", flag), c.code);
        EXPECT_EQ(RemoveInstalledFile(c.path, flag), c.code);
        EXPECT_EQ(DeleteFileAt(c.path), c.code);
        EXPECT_EQ(CreateFolderIfMissing(c.path), c.code);
        EXPECT_EQ(OpenStreamAt(c.path, "a+"), nullptr);
        FileFacts facts;
        FileFactTexts texts;
        std::string error;
        EXPECT_EQ(ReadFileFacts(c.path, facts, texts, error), 0);
        EXPECT_EQ(flag, 0);
    }
    EXPECT_EQ(ReadFileText(keep), "keep");
    std::vector<std::string> names;
    ListFolder(dir.path(), [&](const std::string& name, DWORD) { names.push_back(name); });
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"keep.txt", "src"}));
}

// The system's version library reads a file whose path is longer than
// MAX_PATH (the other calls on such paths are shown by hostile_paths.scn).
TEST(PathPolicy, VersionLibraryOnLongPaths) {
    ScratchDir dir;
    std::string folder = dir.path();
    for (char c : {'a', 'b', 'c'}) {
        folder += "\\" + std::string(200, c);
        ASSERT_EQ(CreateFolderIfMissing(folder), 0u);
    }
    test::CopyData("verdll_1001.dll", dir / "v.dll");
    ASSERT_EQ(CopyFileAt(dir / "v.dll", folder + "\\v.dll", true), 0u);
    FileFacts facts;
    FileFactTexts texts;
    std::string error;
    SetVersionLibraryOnly(true);
    EXPECT_EQ(ReadFileFacts(folder + "\\v.dll", facts, texts, error), 1) << error;
    SetVersionLibraryOnly(false);
    EXPECT_EQ(texts.versionText, "1.0.0.1");
    int32_t scheduled = 0;
    EXPECT_EQ(RemoveInstalledFile(folder + "\\v.dll", scheduled), 0u);
    for (; folder.size() > dir.path().size(); folder.resize(folder.find_last_of('\\')))
        EXPECT_EQ(RemoveFolder(folder), 0u);
}

// The shell and its link object get the plain full path where it fits below
// MAX_PATH, the long form only beyond (links under both: long_paths.scn).
TEST(PathPolicy, ShellCallsGetThePlainFormBelowMaxPath) {
    ScratchDir dir;
    const std::string here = dir.path();
    std::string deep = here;
    while (deep.size() < 300) deep += "\\" + std::string(100, 'd');
    const struct {
        std::string path;
        std::wstring want;
    } cases[] = {
        {here + "\\a.lnk", std::wstring(here.begin(), here.end()) + L"\\a.lnk"},
        {here + "\\x\\..\\b.lnk", std::wstring(here.begin(), here.end()) + L"\\b.lnk"},
        {"\\\\srv\\share\\c.lnk", L"\\\\srv\\share\\c.lnk"},
        {deep + "\\e.lnk", L"\\\\?\\" + std::wstring(deep.begin(), deep.end()) + L"\\e.lnk"},
        {"\\\\srv\\" + std::string(300, 's') + "\\f.lnk", L"\\\\?\\UNC\\srv\\" + std::wstring(300, L's') + L"\\f.lnk"},
    };
    for (const auto& c : cases) {
        std::wstring wide;
        EXPECT_EQ(ShellPath(c.path, wide), 0u) << c.path;
        EXPECT_EQ(wide, c.want) << c.path;
    }
    std::wstring refused;
    EXPECT_EQ(ShellPath(here + "\\COM1", refused), 123u);
}

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
        {WindowsDirectory() + "\\Temp\\Product", true}, {SystemDirectory() + "\\spool\\drivers", true},
        {profiles + "\\someone else", true},  // any user's profile
        {profile + "\\Desktop\\..", true}, {variables.values[3], true},  // TEMP_PATH
        {dir.path(), false},                  // a folder of its own in TEMP
    };
    for (const auto& [path, refused] : cases) EXPECT_EQ(IsDeletionRefused(path, variables), refused) << path;
    // A relative path is taken from the current directory.
    {
        test::CurrentDirectory windows(WindowsDirectory());
        EXPECT_TRUE(IsDeletionRefused("system32", variables));
    }
    test::CurrentDirectory own(dir.path());
    EXPECT_FALSE(IsDeletionRefused("child", variables));
}

// The profiles folder comes from userenv's own answer (asked with a buffer:
// Wine answers nothing to a size query) and is refused by itself, with
// nothing else naming it (the environment cleared, no predefined folders).
TEST(DirectoriesOnThisSystem, ProfilesFolderOfTheSystemIsRefusedByItself) {
    const std::string profile = UserProfileDirectory();
    ASSERT_FALSE(profile.empty());
    const std::string profiles = ProfileFolder("GetProfilesDirectoryA");
    EXPECT_TRUE(EqualNoCase(profiles, profile.substr(0, profile.rfind('\\')))) << profiles;
    const char* const names[] = {"ALLUSERSPROFILE", "ProgramData", "PUBLIC", "USERPROFILE"};
    std::vector<std::pair<const char*, std::string>> saved;
    for (const char* name : names) {
        saved.emplace_back(name, Environment(name));
        SetEnvironmentVariableA(name, nullptr);
    }
    const VariableTable none;
    EXPECT_TRUE(IsDeletionRefused(profiles, none));
    EXPECT_TRUE(IsDeletionRefused(profiles + "\\Default", none));
    for (const auto& [name, value] : saved) SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
}

}  // namespace
}  // namespace dp
