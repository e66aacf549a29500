// CopyPackageFile's two ways, straight to a new name and through a
// temporary file onto an existing one, give the same results: content, the
// source's last-write time, its attributes but read-only, and no temporaries;
// and so do the package file's bytes held since its facts were read, which
// are written only while they still stand for the file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "items/files/file_operations.h"
#include "items/files/file_operations_win32.h"
#include "test_support.h"

namespace dp {
namespace {

using test::Exists;
using test::ReadFileText;
using test::ScratchDir;
using test::WriteFileText;

int g_reboots = 0;

uint64_t WriteTimeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

int CountEntries(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") ++n;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return n;
}

class CopyFastPath : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(FromFileAndFromHeldBytes, CopyFastPath, ::testing::Bool());

TEST_P(CopyFastPath, NewAndExistingTargetsEndAlike) {
    const bool held = GetParam();
    ScratchDir dir;
    CreateDirectoryA((dir / "out").c_str(), nullptr);
    WriteFileText(dir / "src", "package content");
    test::SetWriteTime(dir / "src", test::FileTimeOf(2024, 1, 1));
    SetFileAttributesA((dir / "src").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    WriteFileText(dir / "out\\old.dat", "an older and longer content");
    test::SetWriteTime(dir / "out\\old.dat", test::FileTimeOf(2020, 1, 1));
    WriteFileText(dir / "out\\case.dat", "old");
    CreateDirectoryA((dir / "out\\folder").c_str(), nullptr);
    WriteFileText(dir / "out\\folder\\inside", "kept");

    // Nothing here is in use: nothing may wait for the reboot.
    const RebootReplacementFunction old = SetRebootReplacementFunction([](const std::string&, const std::string&) {
        ++g_reboots;
        return 0;
    });
    struct Case {
        const char* target;    // under out
        const char* source;    // under the scratch folder
        uint32_t result;
        const char* checked;   // the file holding the package content afterwards, or ""
    };
    const std::vector<Case> cases = {
        {"new.dat", "src", 0, "new.dat"},            // straight to the new name
        {"sub\\new.dat", "src", 0, "sub\\new.dat"},  // its one missing folder level created first
        {"old.dat", "src", 0, "old.dat"},            // replaced through a temporary file
        {"CASE.DAT", "src", 0, "case.dat"},          // an existing name in another case is replaced
        {"gone.dat", "missing", 2, ""},              // a missing source creates nothing
    };
    const HeldContent bytes{"package content", test::FileTimeOf(2024, 1, 1)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        int32_t reboot = 0;
        EXPECT_EQ(CopyPackageFile(dir / c.source, dir / "out\\" + c.target, reboot, held ? &bytes : nullptr),
                  c.result);
        EXPECT_EQ(reboot, 0);
        if (*c.checked) {
            const std::string copy = dir / "out\\" + c.checked;
            EXPECT_EQ(ReadFileText(copy), "package content");
            EXPECT_EQ(WriteTimeOf(copy), test::FileTimeOf(2024, 1, 1));
            EXPECT_EQ(GetFileAttributesA(copy.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
                      DWORD{FILE_ATTRIBUTE_HIDDEN});
        } else {
            EXPECT_FALSE(Exists(dir / "out\\" + c.target));
        }
    }
    // A folder in the target's place stays as it was.
    int32_t reboot = 0;
    EXPECT_NE(CopyPackageFile(dir / "src", dir / "out\\folder", reboot, held ? &bytes : nullptr), 0u);
    EXPECT_EQ(ReadFileText(dir / "out\\folder\\inside"), "kept");
    // Bytes that no longer stand for the package file (another size or
    // last-write time) are not written: the file is copied.
    for (const HeldContent& stale : {HeldContent{"stale bytes", test::FileTimeOf(2024, 1, 1)},
                                     HeldContent{"package CONTENT", test::FileTimeOf(2023, 1, 1)}}) {
        for (const char* target : {"stale.dat", "old.dat"}) {
            EXPECT_EQ(CopyPackageFile(dir / "src", dir / "out\\" + target, reboot, &stale), 0u);
            EXPECT_EQ(ReadFileText(dir / "out\\" + target), "package content");
        }
    }
    SetRebootReplacementFunction(old);
    EXPECT_EQ(g_reboots, 0);

    // new.dat, sub, old.dat, case.dat, folder, stale.dat: nothing else (no
    // temporaries).
    EXPECT_EQ(CountEntries(dir / "out"), 6);
    EXPECT_EQ(CountEntries(dir / "out\\sub"), 1);
    SetFileAttributesA((dir / "src").c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace dp
