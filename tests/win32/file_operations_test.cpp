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

// The scheduling of a replacement at the next reboot, replaced while it
// lives: records its calls and answers as told.
struct FakeReplacement {
    static inline std::vector<std::string> calls;
    static inline int answer = 0;
    RebootReplacementFunction old;
    explicit FakeReplacement(int result) {
        calls.clear();
        answer = result;
        old = SetRebootReplacementFunction([](const std::string& temporary, const std::string& target) {
            calls.push_back(temporary + " -> " + target);
            return answer;
        });
    }
    ~FakeReplacement() { SetRebootReplacementFunction(old); }
};

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

TEST(CopyPackageFile, OntoTargetsAndIntoMissingFolders) {
    ScratchDir dir;
    WriteFileText(dir / "src", "new content");
    WriteFileText(dir / "old", "old content that is longer");
    int32_t reboot = 0;
    EXPECT_EQ(CopyPackageFile(dir / "src", dir / "old", reboot), 0u);
    EXPECT_EQ(ReadFileText(dir / "old"), "new content");
    // One missing level is created; with two, the copy fails with path not
    // found.
    EXPECT_EQ(CopyPackageFile(dir / "src", dir / "sub\\t.dll", reboot), 0u);
    EXPECT_EQ(ReadFileText(dir / "sub\\t.dll"), "new content");
    EXPECT_EQ(CopyPackageFile(dir / "src", dir / "a\\b\\t.dll", reboot), 3u);
    EXPECT_FALSE(Exists(dir / "a"));
    // An empty source does nothing.
    EXPECT_EQ(CopyPackageFile("", dir / "none\\t.dll", reboot), 0u);
    EXPECT_FALSE(Exists(dir / "none"));

    // The read-only attribute of the copy is cleared, the others kept.
    SetFileAttributesA((dir / "src").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_EQ(CopyPackageFile(dir / "src", dir / "t", reboot), 0u);
    EXPECT_EQ(GetFileAttributesA((dir / "t").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              DWORD{FILE_ATTRIBUTE_HIDDEN});
    // A read-only target is replaced like any other.
    WriteFileText(dir / "ro", "old");
    SetFileAttributesA((dir / "ro").c_str(), FILE_ATTRIBUTE_READONLY);
    FakeReplacement fake(0);
    EXPECT_EQ(CopyPackageFile(dir / "src", dir / "ro", reboot), 0u);
    EXPECT_EQ(ReadFileText(dir / "ro"), "new content");
    EXPECT_FALSE(GetFileAttributesA((dir / "ro").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(reboot, 0);
    EXPECT_TRUE(FakeReplacement::calls.empty());
    EXPECT_TRUE(Temporaries(dir.path()).empty());
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
    FakeReplacement fake(0);
    int32_t scheduled = 0;
    EXPECT_NE(CopyPackageFile(dir / "src", dir / "t", scheduled), 0u);
    EXPECT_EQ(scheduled, 0);
    EXPECT_EQ(FakeReplacement::calls.size(), 1u);
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
    ~TmpfsDrive() { std::system((helper_ + " unmount q").c_str()); }
    bool ok() const { return ok_; }
    // Waits until no file can be made there any more (a Unix command started
    // from Wine may still be running when system() returns).
    bool MakeReadOnly() const {
        std::system((helper_ + " readonly q").c_str());
        for (int i = 0; i < 100; ++i, Sleep(50)) {
            HANDLE probe = CreateFileA("Q:\\probe", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            if (probe == INVALID_HANDLE_VALUE) return true;
            CloseHandle(probe);
            DeleteFileA("Q:\\probe");
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
    FakeReplacement fake(0);
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
    EXPECT_TRUE(FakeReplacement::calls.empty());
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

TEST(RemoveInstalledFile, ReadOnlyFilesFoldersAndPathsWithoutName) {
    ScratchDir dir;
    int32_t reboot = 0;
    // A read-only file is deleted now, not left for a reboot that would not
    // delete it either.
    WriteFileText(dir / "ro.dll", "x");
    SetFileAttributesA((dir / "ro.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(RemoveInstalledFile(dir / "ro.dll", reboot), 0u);
    EXPECT_FALSE(Exists(dir / "ro.dll"));
    // A folder, or a path that names no file, is neither deleted nor
    // scheduled for deletion.
    CreateDirectoryA((dir / "sub").c_str(), nullptr);
    EXPECT_EQ(RemoveInstalledFile(dir / "sub", reboot), kErrorNotAFile);
    EXPECT_EQ(RemoveInstalledFile(dir / "sub\\", reboot), kErrorNotAFile);
    EXPECT_TRUE(Exists(dir / "sub"));
    EXPECT_FALSE(TakePendingDeletion(dir / "sub"));
    EXPECT_EQ(reboot, 0);
}

TEST(RemoveInstalledFile, FileThatStaysOnAReadOnlyVolumeIsNotDeleted) {
    TmpfsDrive drive("64k");
    if (!drive.ok()) GTEST_SKIP() << "cannot mount a tmpfs drive here";
    WriteFileText("Q:\\kept.dll", "x");
    ASSERT_TRUE(drive.MakeReadOnly());
    int32_t reboot = 0;
    // The system reports the deletion as done; the file is still there.
    EXPECT_EQ(RemoveInstalledFile("Q:\\kept.dll", reboot), 80u);
    EXPECT_TRUE(Exists("Q:\\kept.dll"));
    EXPECT_EQ(reboot, 0);
    EXPECT_FALSE(TakePendingDeletion("Q:\\kept.dll"));
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
    const std::vector<std::string> list = {dir / "a", dir / "missing", dir / "aux.txt"};
    for (LogLevel level : {LogLevel::Short, LogLevel::None}) {  // at level NONE deleted, not logged
        WriteFileText(dir / "a", "x");
        std::FILE* log = std::fopen((dir / "log.txt").c_str(), "w+b");
        ASSERT_NE(log, nullptr);
        EXPECT_EQ(DeleteListedFiles(list, log, level), 1);
        EXPECT_FALSE(Exists(dir / "a"));
        std::fclose(log);
        const std::string logged = "Deleting file " + dir / "a" + ".\nError deleting file " + dir / "missing" + ". " +
                                   SystemErrorText(2) + "\nReserved device name refused " + dir / "aux.txt" + ".\n";
        EXPECT_EQ(ReadFileText(dir / "log.txt"), level == LogLevel::None ? "" : logged);
    }
    EXPECT_EQ(DeleteListedFiles(list, nullptr, LogLevel::Full), 1);
}

}  // namespace
}  // namespace dp
