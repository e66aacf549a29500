// The file operations against the real file system: copying (with the in-use
// fallback behind its seam, and onto a full drive), removal, deletion at the
// next reboot, attributes and the end-phase deletions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "file_test_support.h"
#include "items/files/file_operations.h"
#include "items/files/file_operations_win32.h"
#include "base/system_text.h"

namespace dp {
namespace {

using test::Exists;
using test::ReadFileText;
using test::ScratchDir;
using test::WriteFileText;
constexpr auto npos = std::string::npos;

// The setup library's copy, replaced while it lives: records its calls and
// answers "in use" as told.
struct FakeSetupCopy {
    static inline std::vector<std::string> calls;
    static inline bool inUse = false;
    InUseCopyFunction old;
    explicit FakeSetupCopy(bool answer) {
        calls.clear();
        inUse = answer;
        old = SetInUseCopyFunction([](const std::string& source, const std::string& target) {
            calls.push_back(source + " -> " + target);
            return inUse;
        });
    }
    ~FakeSetupCopy() { SetInUseCopyFunction(old); }
};

// Whether the copy left none of its temporary files in the folder.
bool NoTemporaries(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\~dp*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return find == INVALID_HANDLE_VALUE;
}

TEST(CopyPackageFile, OntoTargetsAndIntoMissingFolders) {
    ScratchDir dir;
    WriteFileText(dir / "src", "new content");
    WriteFileText(dir / "old", "old content that is longer");
    int32_t reboot = 0;
    EXPECT_EQ(CopyPackageFile(dir / "src", dir / "old", reboot), 0u);
    EXPECT_EQ(ReadFileText(dir / "old"), "new content");
    // One missing level is created; with two, the plain copy fails with path
    // not found and the setup library finds the target not in use.
    EXPECT_EQ(CopyPackageFile(dir / "src", dir / "sub\\t.dll", reboot), 0u);
    EXPECT_EQ(ReadFileText(dir / "sub\\t.dll"), "new content");
    EXPECT_EQ(CopyPackageFile(dir / "src", dir / "a\\b\\t.dll", reboot), 3u);
    EXPECT_FALSE(Exists(dir / "a"));
    // A target longer than the system's path limit fails like any other copy
    // (the setup library is not handed a path it cannot hold).
    const std::string longTarget = dir / (std::string(120, 'd') + "\\" + std::string(150, 'e') + "\\t.dll");
    EXPECT_NE(CopyPackageFile(dir / "src", longTarget, reboot), 0u);
    // An empty source does nothing.
    EXPECT_EQ(CopyPackageFile("", dir / "none\\t.dll", reboot), 0u);
    EXPECT_FALSE(Exists(dir / "none"));

    // The read-only attribute of the copy is cleared, the others kept.
    SetFileAttributesA((dir / "src").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_EQ(CopyPackageFile(dir / "src", dir / "t", reboot), 0u);
    EXPECT_EQ(GetFileAttributesA((dir / "t").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              DWORD{FILE_ATTRIBUTE_HIDDEN});
    // Onto a read-only target: Windows refuses to overwrite it and the failure
    // goes to the setup library; Wine, running as root, allows it.
    WriteFileText(dir / "ro", "old");
    SetFileAttributesA((dir / "ro").c_str(), FILE_ATTRIBUTE_READONLY);
    FakeSetupCopy fake(false);
    if (CopyPackageFile(dir / "src", dir / "ro", reboot) == 0) {
        EXPECT_EQ(ReadFileText(dir / "ro"), "new content");
        EXPECT_FALSE(GetFileAttributesA((dir / "ro").c_str()) & FILE_ATTRIBUTE_READONLY);
    } else {
        EXPECT_EQ(ReadFileText(dir / "ro"), "old");
        EXPECT_EQ(FakeSetupCopy::calls.size(), 1u);
    }
    EXPECT_EQ(reboot, 0);
    EXPECT_TRUE(NoTemporaries(dir.path()));
}

TEST(CopyPackageFile, TargetInUseGoesToSetupLibrary) {
    ScratchDir dir;
    WriteFileText(dir / "src", "new");
    WriteFileText(dir / "t", "old");
    {
        test::LockedFile lock(dir / "t");
        ASSERT_TRUE(lock.ok());
        FakeSetupCopy fake(true);
        int32_t scheduled = 0;
        EXPECT_EQ(CopyPackageFile(dir / "src", dir / "t", scheduled), 32u);
        EXPECT_EQ(scheduled, 1);
        EXPECT_EQ(FakeSetupCopy::calls, std::vector<std::string>{dir / "src" + " -> " + dir / "t"});
    }
    EXPECT_EQ(ReadFileText(dir / "t"), "old");
    EXPECT_TRUE(NoTemporaries(dir.path()));
}

// On a drive Q: of 1 MB backed by tmpfs (tmpfs_drive.sh, beside the tests;
// skipped where nothing can be mounted).
TEST(CopyPackageFile, FullDiskGives112AndLeavesTargetsAsTheyWere) {
    const std::string helper = ProgramDirectory() + "tmpfs_drive.sh";
    if (!Exists(helper) || helper.find(' ') != npos) GTEST_SKIP() << "no tmpfs_drive.sh (or a blank in its path)";
    std::system((helper + " mount q 1m").c_str());
    struct Unmount {
        std::string command;
        ~Unmount() { std::system(command.c_str()); }
    } unmount{helper + " unmount q"};
    ULARGE_INTEGER available{}, total{}, free{};
    for (int i = 0; i < 40; ++i) {
        if (GetDiskFreeSpaceExA("Q:\\", &available, &total, &free) && total.QuadPart <= 2u << 20) break;
        Sleep(50);
    }
    if (total.QuadPart == 0 || total.QuadPart > 2u << 20) GTEST_SKIP() << "cannot mount a tmpfs drive here";

    ScratchDir dir;
    WriteFileText(dir / "big", std::string(1536 * 1024, 'n'));
    const std::string old(200 * 1024, 'o');
    WriteFileText("Q:\\old.bin", old);
    FakeSetupCopy fake(false);
    int32_t reboot = 0;
    EXPECT_EQ(CopyPackageFile(dir / "big", "Q:\\new.bin", reboot), 112u);
    EXPECT_FALSE(Exists("Q:\\new.bin"));
    EXPECT_EQ(CopyPackageFile(dir / "big", "Q:\\old.bin", reboot), 112u);
    EXPECT_TRUE(ReadFileText("Q:\\old.bin") == old) << "the old target was changed";
    EXPECT_EQ(reboot, 0);
    EXPECT_TRUE(NoTemporaries("Q:"));
}

// Whether the deletion of path at the next reboot is pending (in the pairs of
// "\??\path" and new name, "" to delete, of PendingFileRenameOperations);
// takes it out of the list again.
bool TakePendingDeletion(const std::string& path) {
    const char* const value = "PendingFileRenameOperations";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return false;
    std::string data(64 * 1024, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    if (RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        size = 0;
    data.resize(size);
    const std::string nul(1, '\0'), entry = nul + "\\??\\" + path + nul + nul;
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

TEST(RemoveInstalledFile, MissingDeletedAndInUse) {
    ScratchDir dir;
    int32_t reboot = 0;
    EXPECT_EQ(RemoveInstalledFile(dir / "missing.dll", reboot), 2u);
    EXPECT_EQ(RemoveInstalledFile(dir / "no\\such.dll", reboot), 3u);
    EXPECT_FALSE(TakePendingDeletion(dir / "missing.dll"));
    WriteFileText(dir / "plain.dll", "x");
    EXPECT_EQ(RemoveInstalledFile(dir / "plain.dll", reboot), 0u);
    EXPECT_FALSE(Exists(dir / "plain.dll"));
    EXPECT_EQ(reboot, 0);

    WriteFileText(dir / "busy.dll", "x");
    {
        test::LockedFile lock(dir / "busy.dll");
        ASSERT_TRUE(lock.ok());
        EXPECT_EQ(RemoveInstalledFile(dir / "busy.dll", reboot), 0u);
    }
    EXPECT_EQ(reboot, 1);
    EXPECT_TRUE(Exists(dir / "busy.dll"));
    EXPECT_TRUE(TakePendingDeletion(dir / "busy.dll"));

    // When not even the reboot can be asked to delete it, the deletion fails
    // with its own error and no reboot is requested for it.
    reboot = 0;
    auto old = SetRebootDeletionFunction([](const std::string&) { return 0; });
    {
        test::LockedFile lock(dir / "busy.dll");
        EXPECT_EQ(RemoveInstalledFile(dir / "busy.dll", reboot), 32u);
    }
    SetRebootDeletionFunction(old);
    EXPECT_EQ(reboot, 0);
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

TEST(FileAttributes, ClearReadOnlyAndArchiveKeepsTheOthers) {
    ScratchDir dir;
    WriteFileText(dir / "f", "x");
    SetFileAttributesA((dir / "f").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
    ClearReadOnlyAndArchive(dir / "f");
    // (Wine reports the archive attribute for every file.)
    EXPECT_EQ(GetFileAttributesA((dir / "f").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              DWORD{FILE_ATTRIBUTE_HIDDEN});
    ClearReadOnlyAndArchive(dir / "missing");  // left alone
}

TEST(DeleteListedFiles, DeletesInOrderAndLogsByLevel) {
    ScratchDir dir;
    const std::vector<std::string> list = {dir / "a", dir / "missing"};
    for (LogLevel level : {LogLevel::Short, LogLevel::None}) {  // at level NONE deleted, not logged
        WriteFileText(dir / "a", "x");
        std::FILE* log = std::fopen((dir / "log.txt").c_str(), "w+b");
        ASSERT_NE(log, nullptr);
        EXPECT_EQ(DeleteListedFiles(list, log, level), 1);
        EXPECT_FALSE(Exists(dir / "a"));
        std::fclose(log);
        const std::string logged = "Deleting file " + dir / "a" + ".\nError deleting file " + dir / "missing" + ". " +
                                   SystemErrorText(2) + "\n";
        EXPECT_EQ(ReadFileText(dir / "log.txt"), level == LogLevel::None ? "" : logged);
    }
    EXPECT_EQ(DeleteListedFiles(list, nullptr, LogLevel::Full), 1);
}

}  // namespace
}  // namespace dp
