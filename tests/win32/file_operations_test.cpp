// The file operations against the real file system: copying onto a target in
// use (with the fallback behind its seam) and onto a full drive, removal and
// deletion at the next reboot. Copies onto new and existing targets and the
// end-phase deletions are shown end to end by copy_targets.scn,
// directories.scn and log_levels.scn.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "items/files/file_items.h"
#include "items/files/file_operations.h"
#include "items/files/file_operations_win32.h"
#include "base/system_text.h"
#include "test_support.h"

namespace dp {
namespace {

using test::Exists;
using test::ReadFileText;
using test::ScratchDir;
using test::WriteFileText;
constexpr auto npos = std::string::npos;

// The temporary files of the copies in a folder.
std::vector<std::string> Temporaries(const std::string& folder) {
    std::vector<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\~dp*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do found.push_back(folder + "\\" + data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return found;
}

// Whether the rename of `from` to `to` ("": its deletion) at the next reboot
// is pending (in the pairs of "\??\from" and "!\??\to" or "" of
// PendingFileRenameOperations); takes it out of the list again.
bool TakePendingRename(const std::string& from, const std::string& to) {
    const char* const value = "PendingFileRenameOperations";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return false;
    std::string data(256 * 1024, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    if (RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        size = 0;
    data.resize(size);
    const std::string nul(1, '\0');
    const std::string entry = nul + "\\??\\" + from + nul + (to.empty() ? "" : "!\\??\\" + to) + nul;
    const size_t at = (nul + data).find(entry);  // data[at] starts the entry
    if (at != npos) {
        data.erase(at, entry.size() - 1);
        if (data.find_first_not_of('\0') == npos) RegDeleteValueA(key, value);
        else RegSetValueExA(key, value, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size()));
    }
    RegCloseKey(key);
    return at != npos;
}
bool TakePendingDeletion(const std::string& path) { return TakePendingRename(path, ""); }

// Counts the replacements asked of the reboot (and refuses them) while it lives.
test::Replaced<RebootReplacementFunction> CountRebootReplacements(int& calls) {
    return {SetRebootReplacementFunction, [&calls](const std::string&, const std::string&) { return ++calls, 0; }};
}

TEST(CopyPackageFile, TargetInUseIsReplacedAtTheReboot) {
    ScratchDir dir;
    WriteFileText(dir / "src", "new");
    for (DWORD share : {DWORD{FILE_SHARE_READ}, DWORD{0}}) {
        SCOPED_TRACE(share);
        WriteFileText(dir / "t", "old");
        {
            test::LockedFile lock(dir / "t", share);
            ASSERT_TRUE(lock.ok());
            int32_t scheduled = 0;
            EXPECT_EQ(CopyPackageFile(dir / "src", dir / "t", scheduled), 32u);
            EXPECT_EQ(scheduled, 1);
        }
        // The new file waits beside the target, the system's list moving it
        // over the target at the reboot.
        const std::vector<std::string> waiting = Temporaries(dir.path());
        ASSERT_EQ(waiting.size(), 1u);
        EXPECT_EQ(ReadFileText(waiting[0]), "new");
        EXPECT_TRUE(TakePendingRename(waiting[0], dir / "t"));
        EXPECT_EQ(ReadFileText(dir / "t"), "old");
        DeleteFileA(waiting[0].c_str());
    }
    // When not even the reboot can be asked to replace it, nothing waits.
    WriteFileText(dir / "t", "old");
    test::LockedFile lock(dir / "t", FILE_SHARE_READ);
    int calls = 0;
    const auto refused = CountRebootReplacements(calls);
    int32_t scheduled = 0;
    EXPECT_NE(CopyPackageFile(dir / "src", dir / "t", scheduled), 0u);
    EXPECT_EQ(scheduled, 0);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(Temporaries(dir.path()).empty());
}

// A drive Q: backed by tmpfs (tmpfs_drive.sh, beside the tests), unmounted
// again at the end; ok() is false where nothing can be mounted.
class TmpfsDrive {
public:
    explicit TmpfsDrive(const char* size) : helper_(ProgramDirectory() + "tmpfs_drive.sh") {
        if (!Exists(helper_) || helper_.find(' ') != npos) return;
        std::system((helper_ + " mount q " + size).c_str());
        ULARGE_INTEGER available{}, total{}, free{};
        for (int i = 0; i < 40; ++i) {
            if (GetDiskFreeSpaceExA("Q:\\", &available, &total, &free) && total.QuadPart <= 2u << 20) break;
            Sleep(50);
        }
        ok_ = total.QuadPart != 0 && total.QuadPart <= 2u << 20;
    }
    // Waits until Q: is gone, so that the next drive is not taken for this one.
    ~TmpfsDrive() {
        std::system((helper_ + " unmount q").c_str());
        ULARGE_INTEGER available{}, total{}, free{};
        for (int i = 0; i < 40 && GetDiskFreeSpaceExA("Q:\\", &available, &total, &free); ++i) Sleep(50);
    }
    bool ok() const { return ok_; }
    // Waits until nothing can be made there any more (a Unix command started
    // from Wine may still be running when system() returns). The probe is a
    // folder: a file held open for writing would make the remount fail.
    bool MakeReadOnly() const {
        std::system((helper_ + " readonly q").c_str());
        for (int i = 0; i < 100; ++i, Sleep(50)) {
            // A new name each time: the remount may come between the two calls.
            const std::string probe = "Q:\\probe" + std::to_string(i);
            if (!CreateDirectoryA(probe.c_str(), nullptr)) return true;
            RemoveDirectoryA(probe.c_str());
        }
        return false;
    }

private:
    std::string helper_;
    bool ok_ = false;
};

TEST(CopyPackageFile, FullDiskGives112AndLeavesTargetsAsTheyWere) {
    TmpfsDrive drive("1m");
    if (!drive.ok()) GTEST_SKIP() << "cannot mount a tmpfs drive here";

    ScratchDir dir;
    WriteFileText(dir / "big", std::string(1536 * 1024, 'n'));
    const std::string old(600 * 1024, 'o');
    WriteFileText("Q:\\old.bin", old);
    int calls = 0;
    const auto counted = CountRebootReplacements(calls);
    int32_t reboot = 0;
    EXPECT_EQ(CopyPackageFile(dir / "big", "Q:\\new.bin", reboot), 112u);
    EXPECT_FALSE(Exists("Q:\\new.bin"));
    // The folder made for a copy that found no room goes again.
    EXPECT_EQ(CopyPackageFile(dir / "big", "Q:\\made\\new.bin", reboot), 112u);
    EXPECT_FALSE(Exists("Q:\\made"));
    EXPECT_EQ(CopyPackageFile(dir / "big", "Q:\\old.bin", reboot), 112u);
    EXPECT_TRUE(ReadFileText("Q:\\old.bin") == old) << "the old target was changed";
    // Held bytes of the package file that find no room leave nothing either.
    test::SetWriteTime(dir / "big", test::FileTimeOf(2024, 1, 1));
    const HeldContent held{ReadFileText(dir / "big"), test::FileTimeOf(2024, 1, 1)};
    EXPECT_EQ(CopyPackageFile(dir / "big", "Q:\\new.bin", reboot, &held), 112u);
    EXPECT_FALSE(Exists("Q:\\new.bin"));
    EXPECT_EQ(CopyPackageFile(dir / "big", "Q:\\old.bin", reboot, &held), 112u);
    EXPECT_TRUE(ReadFileText("Q:\\old.bin") == old) << "the old target was changed";
    EXPECT_TRUE(Temporaries("Q:").empty());
    // No room for the new file beside the old one, but in its place: copied
    // over it.
    const std::string update(600 * 1024, 'u');
    WriteFileText(dir / "update", update);
    EXPECT_EQ(CopyPackageFile(dir / "update", "Q:\\old.bin", reboot), 0u);
    EXPECT_TRUE(ReadFileText("Q:\\old.bin") == update) << "the update was not copied";
    EXPECT_EQ(reboot, 0);
    EXPECT_TRUE(Temporaries("Q:").empty());
    EXPECT_EQ(calls, 0);
}

// A file in use is deleted at the reboot (reboot_*.scn); when not even that
// can be asked, the deletion fails with its own error and no reboot is
// requested for it. A path under a missing folder gives 3.
TEST(RemoveInstalledFile, InUseWithoutTheRebootAndUnderAMissingFolder) {
    ScratchDir dir;
    int32_t reboot = 0;
    EXPECT_EQ(RemoveInstalledFile(dir / "no\\such.dll", reboot), 3u);
    WriteFileText(dir / "busy.dll", "x");
    test::Replaced<RebootDeletionFunction> refused(SetRebootDeletionFunction, [](const std::string&) { return 0; });
    test::LockedFile lock(dir / "busy.dll");
    EXPECT_EQ(RemoveInstalledFile(dir / "busy.dll", reboot), 32u);
    EXPECT_EQ(reboot, 0);
}

// The system (Wine) reports the deletion as done; the file is still there.
// The error shown is the system's answer to writing it (Windows refuses the
// deletion itself, with 19), never a "file exists" that no call gave.
TEST(RemoveInstalledFile, FileThatStaysOnAReadOnlyVolumeIsNotDeleted) {
    TmpfsDrive drive("64k");
    if (!drive.ok()) GTEST_SKIP() << "cannot mount a tmpfs drive here";
    WriteFileText("Q:\\kept.dll", "x");
    ASSERT_TRUE(drive.MakeReadOnly());
    int32_t reboot = 0;
    EXPECT_EQ(RemoveInstalledFile("Q:\\kept.dll", reboot), 5u);
    EXPECT_TRUE(Exists("Q:\\kept.dll"));
    EXPECT_EQ(reboot, 0);
    EXPECT_FALSE(TakePendingDeletion("Q:\\kept.dll"));

    // The last deletions: the same file, and a folder, which is no file.
    ScratchDir dir;
    CreateDirectoryA((dir / "folder").c_str(), nullptr);
    WriteFileText(dir / "folder\\inside.txt", "x");
    test::Step step(LogLevel::Full);
    RunTally tally;
    step.context.tally = &tally;
    WorkItems deletions;
    AddEndFileDeletions({"Q:\\kept.dll", dir / "folder", dir / "folder\\"}, deletions);
    step.Run(std::move(deletions));
    EXPECT_EQ(step.Log(), "Error deleting file Q:\\kept.dll. " + SystemErrorText(5) + "\n" +
                              "Not deleted, the path names no file " + dir / "folder.\n" +
                              "Not deleted, the path names no file " + dir / "folder\\.\n");
    EXPECT_TRUE(Exists(dir / "folder\\inside.txt"));
    EXPECT_EQ(tally.failed, 3);
}

TEST(DeleteAtReboot, SystemListAndWinInitEdit) {
    ScratchDir dir;
    WriteFileText(dir / "later.dll", "x");
    EXPECT_EQ(DeleteAtReboot(dir / "later.dll"), 1);
    EXPECT_TRUE(TakePendingDeletion(dir / "later.dll"));

    // The WinInit.Ini edit through a mapping, on a file of our own: created
    // when missing, then the section grows newest first and the file keeps no
    // zeros from the mapping.
    const std::string ini = dir / "wininit.ini";
    EXPECT_EQ(AddRenameDeletion(ini, "C:\\first.dll"), 1);
    EXPECT_EQ(ReadFileText(ini), "[Rename]\r\nNUL=C:\\first.dll\r\n");
    WriteFileText(ini, "[boot]\r\nx=1\r\n");
    EXPECT_EQ(AddRenameDeletion(ini, "C:\\first.dll"), 1);
    EXPECT_EQ(AddRenameDeletion(ini, "C:\\second path.dll"), 1);
    EXPECT_EQ(ReadFileText(ini), "[boot]\r\nx=1\r\n[Rename]\r\nNUL=C:\\second path.dll\r\nNUL=C:\\first.dll\r\n");
    EXPECT_EQ(AddRenameDeletion(dir / "no\\such\\wininit.ini", "C:\\x.dll"), 0);
    test::LockedFile lock(ini);
    EXPECT_EQ(AddRenameDeletion(ini, "C:\\x.dll"), 0);
}

// CopyPackageFile's two ways, straight to a new name and through a
// temporary file onto an existing one, give the same results: content, the
// source's last-write time, its attributes but read-only, and no temporaries;
// and so do the package file's bytes held since its facts were read, which
// are written only while they still stand for the file.
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
    int reboots = 0;
    const auto counted = CountRebootReplacements(reboots);
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
    EXPECT_EQ(reboots, 0);

    // new.dat, sub, old.dat, case.dat, folder, stale.dat: nothing else (no
    // temporaries).
    EXPECT_EQ(CountEntries(dir / "out"), 6);
    EXPECT_EQ(CountEntries(dir / "out\\sub"), 1);
    SetFileAttributesA((dir / "src").c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace dp
