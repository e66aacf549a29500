// The file operations against the real file system: copying (with the in-use
// fallback behind its seam and a full disk), removal, deletion at the next
// reboot, attributes and the end-phase deletions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "file_test_support.h"
#include "items/files/file_operations.h"
#include "items/files/file_operations_win32.h"
#include "items/other_lists.h"
#include "log/message_box.h"
#include "log/system_text.h"

namespace dp {
namespace {

using test::CopyData;
using test::Exists;
using test::ReadFileText;
using test::ScratchDir;
using test::WriteFileText;

// The setup library's copy, replaced: records its calls and answers "in use"
// as told.
struct FakeSetupCopy {
    static inline std::vector<std::string> calls;
    static inline bool inUse = false;
    static bool Copy(const std::string& source, const std::string& target) {
        calls.push_back(source + " -> " + target);
        return inUse;
    }
};

class FakeSetupCopyScope {
public:
    explicit FakeSetupCopyScope(bool inUse) {
        FakeSetupCopy::calls.clear();
        FakeSetupCopy::inUse = inUse;
        old_ = SetInUseCopyFunction(&FakeSetupCopy::Copy);
    }
    ~FakeSetupCopyScope() { SetInUseCopyFunction(old_); }

private:
    InUseCopyFunction old_;
};

// Names of the files in a folder that the copy may have left behind.
std::vector<std::string> LeftoverTemporaries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\~dp*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

std::string ReadAll(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    return text;
}

TEST(CopyPackageFile, OntoExistingTargetAndIntoMissingFolders) {
    ScratchDir dir;
    WriteFileText(dir / "src", "new content");
    WriteFileText(dir / "old", "old content that is longer");
    int32_t reboot = 0;
    EXPECT_EQ(CopyPackageFile(dir / "src", dir / "old", nullptr, reboot), 0u);
    EXPECT_EQ(ReadFileText(dir / "old"), "new content");

    // One missing level is created.
    EXPECT_EQ(CopyPackageFile(dir / "src", dir / "sub\\t.dll", nullptr, reboot), 0u);
    EXPECT_EQ(ReadFileText(dir / "sub\\t.dll"), "new content");

    // Two missing levels: the plain copy fails with path not found and the
    // setup library finds the target not in use.
    EXPECT_EQ(CopyPackageFile(dir / "src", dir / "a\\b\\t.dll", nullptr, reboot), 3u);
    EXPECT_FALSE(Exists(dir / "a\\b\\t.dll"));

    // An empty source does nothing.
    EXPECT_EQ(CopyPackageFile("", dir / "none\\t.dll", nullptr, reboot), 0u);
    EXPECT_FALSE(Exists(dir / "none"));
    EXPECT_EQ(reboot, 0);
    EXPECT_TRUE(LeftoverTemporaries(dir.path()).empty());
}

TEST(CopyPackageFile, ReadOnlyIsClearedOtherAttributesKept) {
    ScratchDir dir;
    WriteFileText(dir / "src", "data");
    SetFileAttributesA((dir / "src").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    int32_t reboot = 0;
    ASSERT_EQ(CopyPackageFile(dir / "src", dir / "t", nullptr, reboot), 0u);
    const DWORD attributes = GetFileAttributesA((dir / "t").c_str());
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);

    // Onto a read-only target. (Windows refuses to overwrite it and the
    // failure goes to the setup library; Wine, running as root, allows it.)
    WriteFileText(dir / "ro", "old");
    SetFileAttributesA((dir / "ro").c_str(), FILE_ATTRIBUTE_READONLY);
    FakeSetupCopyScope fake(false);
    const uint32_t result = CopyPackageFile(dir / "src", dir / "ro", nullptr, reboot);
    if (result == 0) {
        EXPECT_EQ(ReadFileText(dir / "ro"), "data");
        EXPECT_FALSE(GetFileAttributesA((dir / "ro").c_str()) & FILE_ATTRIBUTE_READONLY);
    } else {
        EXPECT_EQ(ReadFileText(dir / "ro"), "old");
        EXPECT_EQ(FakeSetupCopy::calls.size(), 1u);
    }
    EXPECT_TRUE(LeftoverTemporaries(dir.path()).empty());
}

TEST(CopyPackageFile, TargetInUseGoesToSetupLibraryAndIsReported) {
    ScratchDir dir;
    WriteFileText(dir / "src", "new");
    WriteFileText(dir / "t", "old");
    const std::string expected = "Error of a copying file " + dir / "src" + " to " + dir / "t" +
                                 ". " + SystemErrorText(32) + "\n";
    {
        test::LockedFile lock(dir / "t");
        ASSERT_TRUE(lock.ok());
        {
            FakeSetupCopyScope fake(true);
            std::FILE* log = std::fopen((dir / "log.txt").c_str(), "w+b");
            ASSERT_NE(log, nullptr);
            int32_t reboot = 0;
            EXPECT_EQ(CopyPackageFile(dir / "src", dir / "t", log, reboot), 32u);
            EXPECT_EQ(reboot, 1);
            EXPECT_EQ(ReadAll(log), expected);
            std::fclose(log);
            ASSERT_EQ(FakeSetupCopy::calls.size(), 1u);
            EXPECT_EQ(FakeSetupCopy::calls[0], dir / "src" + " -> " + dir / "t");
        }
        {
            // Without a log the same text goes to a box.
            FakeSetupCopyScope fake(true);
            std::vector<std::string> boxes;
            auto old = SetMessageBoxHandler([&](const std::string& text, const std::string& caption,
                                                unsigned style) {
                boxes.push_back(caption + "|" + std::to_string(style) + "|" + text);
                return kAnswerOk;
            });
            int32_t reboot = 0;
            EXPECT_EQ(CopyPackageFile(dir / "src", dir / "t", nullptr, reboot), 32u);
            SetMessageBoxHandler(old);
            EXPECT_EQ(reboot, 1);
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0], "Error|64|" + expected);
        }
    }
    EXPECT_EQ(ReadFileText(dir / "t"), "old");
    {
        // Not in use after all: no report, no reboot.
        FakeSetupCopyScope fake(false);
        int32_t reboot = 0;
        EXPECT_EQ(CopyPackageFile(dir / "missing", dir / "t", nullptr, reboot), 2u);
        EXPECT_EQ(reboot, 0);
        EXPECT_EQ(FakeSetupCopy::calls.size(), 1u);
    }
    EXPECT_TRUE(LeftoverTemporaries(dir.path()).empty());
}

// A drive of 1 MB backed by tmpfs, made by tmpfs_drive.sh (needs the right to
// mount; the tests skip themselves without it).
class SmallDrive : public ::testing::Test {
protected:
    static std::string Helper() { return ProgramDirectory() + "tmpfs_drive.sh"; }
    static bool Mounted() {
        ULARGE_INTEGER freeBytes{}, total{}, totalFree{};
        return GetDiskFreeSpaceExA("Q:\\", &freeBytes, &total, &totalFree) &&
               total.QuadPart <= 2u * 1024 * 1024;
    }
    void SetUp() override {
        if (Helper().find(' ') != std::string::npos) GTEST_SKIP() << "build path has a blank";
        if (!Exists(Helper())) GTEST_SKIP() << "tmpfs_drive.sh is not beside the tests";
        std::system((Helper() + " mount q 1m").c_str());
        for (int i = 0; i < 40 && !Mounted(); ++i) Sleep(50);
        if (!Mounted()) GTEST_SKIP() << "cannot mount a tmpfs drive here (needs root / CAP_SYS_ADMIN)";
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) std::system((Helper() + " unmount q").c_str());
    }
    bool mounted_ = false;
};

TEST_F(SmallDrive, FullDiskGives112AndLeavesTargetsAsTheyWere) {
    ScratchDir dir;
    WriteFileText(dir / "big", std::string(1536 * 1024, 'n'));
    const std::string old(200 * 1024, 'o');
    WriteFileText("Q:\\old.bin", old);
    FakeSetupCopyScope fake(false);
    int32_t reboot = 0;
    EXPECT_EQ(CopyPackageFile(dir / "big", "Q:\\new.bin", nullptr, reboot), 112u);
    EXPECT_FALSE(Exists("Q:\\new.bin"));
    EXPECT_EQ(CopyPackageFile(dir / "big", "Q:\\old.bin", nullptr, reboot), 112u);
    EXPECT_TRUE(ReadFileText("Q:\\old.bin") == old) << "the old target was changed";
    EXPECT_EQ(reboot, 0);
    EXPECT_TRUE(LeftoverTemporaries("Q:").empty());
    DeleteFileA("Q:\\old.bin");
}

// PendingFileRenameOperations: pairs of "\??\path" and the new name ("" to delete).
constexpr char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingRenames[] = "PendingFileRenameOperations";

std::vector<std::string> PendingRenames() {
    std::vector<std::string> entries;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return entries;
    DWORD size = 0;
    if (RegQueryValueExA(key, kPendingRenames, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        std::string data(size, '\0');
        RegQueryValueExA(key, kPendingRenames, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data.data()), &size);
        data.resize(size);
        // Strings one after the other, each with its terminator; an empty
        // string is a deletion's new name.
        size_t at = 0;
        while (at < data.size()) {
            const size_t end = data.find('\0', at);
            if (end == std::string::npos) break;
            entries.push_back(data.substr(at, end - at));
            at = end + 1;
        }
        while (!entries.empty() && entries.back().empty() && entries.size() % 2) entries.pop_back();
    }
    RegCloseKey(key);
    return entries;
}

// Removes the deletion of path from the pending list again.
void ForgetPendingDeletion(const std::string& path) {
    std::vector<std::string> entries = PendingRenames();
    std::string data;
    for (size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (entries[i] == "\\??\\" + path) continue;
        data += entries[i] + '\0' + entries[i + 1] + '\0';
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    if (data.empty()) {
        RegDeleteValueA(key, kPendingRenames);
    } else {
        data += '\0';
        RegSetValueExA(key, kPendingRenames, 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    }
    RegCloseKey(key);
}

bool IsPendingDeletion(const std::string& path) {
    const std::vector<std::string> entries = PendingRenames();
    for (size_t i = 0; i + 1 < entries.size(); i += 2)
        if (entries[i] == "\\??\\" + path && entries[i + 1].empty()) return true;
    return false;
}

TEST(RemoveInstalledFile, MissingInUseAndDeleted) {
    ScratchDir dir;
    int32_t reboot = 0;
    EXPECT_EQ(RemoveInstalledFile(dir / "missing.dll", 0, reboot), 2u);
    EXPECT_EQ(RemoveInstalledFile(dir / "no\\such.dll", 0, reboot), 3u);
    EXPECT_EQ(reboot, 0);
    EXPECT_FALSE(IsPendingDeletion(dir / "missing.dll"));

    WriteFileText(dir / "plain.dll", "x");
    EXPECT_EQ(RemoveInstalledFile(dir / "plain.dll", 0, reboot), 0u);
    EXPECT_FALSE(Exists(dir / "plain.dll"));
    EXPECT_EQ(reboot, 0);

    WriteFileText(dir / "busy.dll", "x");
    {
        test::LockedFile lock(dir / "busy.dll");
        ASSERT_TRUE(lock.ok());
        EXPECT_EQ(RemoveInstalledFile(dir / "busy.dll", 0, reboot), 0u);
    }
    EXPECT_EQ(reboot, 1);
    EXPECT_TRUE(Exists(dir / "busy.dll"));
    EXPECT_TRUE(IsPendingDeletion(dir / "busy.dll"));
    ForgetPendingDeletion(dir / "busy.dll");
    EXPECT_FALSE(IsPendingDeletion(dir / "busy.dll"));
}

TEST(RemoveInstalledFile, ComServerIsUnregisteredBeforeItIsDeleted) {
    ScratchDir dir;
    const std::string folder = dir / "with blank";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string server = folder + "\\comserver.dll";
    CopyData("comserver.dll", server);
    int32_t reboot = 0;
    // The server takes a while to unregister; the removal waits for it, so the
    // evidence is there and the file is not held by regsvr32 any more.
    EXPECT_EQ(RemoveInstalledFile(server, 1, reboot), 0u);
    EXPECT_TRUE(Exists(server + ".unregistered"));
    EXPECT_FALSE(Exists(server));
    EXPECT_EQ(reboot, 0);
    EXPECT_FALSE(IsPendingDeletion(server));
}

TEST(DeleteAtReboot, SystemListAndWinInitEdit) {
    ScratchDir dir;
    WriteFileText(dir / "later.dll", "x");
    EXPECT_EQ(DeleteAtReboot(dir / "later.dll"), 1);
    EXPECT_TRUE(IsPendingDeletion(dir / "later.dll"));
    ForgetPendingDeletion(dir / "later.dll");

    // The WinInit.Ini edit through a mapping, on a file of our own: created
    // when missing, then the section grows newest first and the file keeps no
    // zeros from the mapping.
    const std::string ini = dir / "wininit.ini";
    EXPECT_EQ(AddRenameDeletion(ini, "C:\\first.dll"), 1);
    EXPECT_EQ(ReadFileText(ini), "[Rename]\r\nNUL=C:\\first.dll\r\n");
    WriteFileText(ini, "[boot]\r\nx=1\r\n");
    EXPECT_EQ(AddRenameDeletion(ini, "C:\\first.dll"), 1);
    EXPECT_EQ(AddRenameDeletion(ini, "C:\\second path.dll"), 1);
    EXPECT_EQ(ReadFileText(ini),
              "[boot]\r\nx=1\r\n[Rename]\r\nNUL=C:\\second path.dll\r\nNUL=C:\\first.dll\r\n");

    EXPECT_EQ(AddRenameDeletion(dir / "no\\such\\wininit.ini", "C:\\x.dll"), 0);
    {
        test::LockedFile lock(ini);  // not shared: cannot be opened
        EXPECT_EQ(AddRenameDeletion(ini, "C:\\x.dll"), 0);
    }
    const std::string windowsIni = WinInitPath();
    ASSERT_GT(windowsIni.size(), 12u);
    EXPECT_EQ(windowsIni.substr(windowsIni.size() - 12), "\\WinInit.Ini");
}

TEST(FileAttributes, ClearReadOnlyAndArchiveKeepsTheOthers) {
    ScratchDir dir;
    WriteFileText(dir / "f", "x");
    SetFileAttributesA((dir / "f").c_str(),
                       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
    ClearReadOnlyAndArchive(dir / "f");
    const DWORD attributes = GetFileAttributesA((dir / "f").c_str());
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    ClearReadOnlyAndArchive(dir / "missing");  // left alone
}

TEST(DeleteListedFiles, DeletesInOrderAndLogsByLevel) {
    ScratchDir dir;
    WriteFileText(dir / "a", "x");
    EndFileList list;
    list.paths = {dir / "a", dir / "missing"};
    std::FILE* log = std::fopen((dir / "log.txt").c_str(), "w+b");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(DeleteListedFiles(list, log, 2), 1);
    EXPECT_FALSE(Exists(dir / "a"));
    EXPECT_EQ(ReadAll(log), "Deleting file " + dir / "a" + ".\nError deleting file " +
                                dir / "missing" + ". " + SystemErrorText(2) + "\n");
    std::fclose(log);

    WriteFileText(dir / "a", "x");
    log = std::fopen((dir / "log2.txt").c_str(), "w+b");
    EXPECT_EQ(DeleteListedFiles(list, log, 0), 1);  // level NONE: deleted, not logged
    EXPECT_FALSE(Exists(dir / "a"));
    EXPECT_EQ(ReadAll(log), "");
    std::fclose(log);
    EXPECT_EQ(DeleteListedFiles(list, nullptr, 1), 1);
}

}  // namespace
}  // namespace dp
