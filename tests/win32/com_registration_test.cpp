// COM registration and the after-reboot lists against the real registry and
// real servers (the stand-ins of tests/data), the lists kept under a scratch
// key of HKEY_CURRENT_USER.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "base/program_win32.h"
#include "base/run_flags.h"
#include "base/system_text.h"
#include "engine/install_phases_win32.h"
#include "file_test_support.h"
#include "items/com_registration.h"
#include "items/com_registration_win32.h"
#include "items/files/file_list.h"
#include "model/install_script.h"
#include "script/variable_table.h"

namespace dp {
namespace {

using test::Exists;
using test::ReadFileText;
using test::ScratchDir;

constexpr char kMarks[] = "Software\\DeployatorTest\\ComServers";

// The registration mark a stand-in left for its path: "registered",
// "unregistered", or "" when none.
std::string Mark(const std::string& server) {
    char data[64] = {};
    DWORD size = sizeof data - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, kMarks, server.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return "";
    return data;
}

struct StoredValue {
    std::string name;
    DWORD type = 0;
    std::string data;
};

class ComRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        scratchPath_ = "Software\\DeployatorTest\\Lists-" + std::to_string(GetCurrentProcessId());
        SHDeleteKeyA(HKEY_CURRENT_USER, scratchPath_.c_str());
        SHDeleteKeyA(HKEY_CURRENT_USER, kMarks);
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, scratchPath_.c_str(), &root_), ERROR_SUCCESS);
        const HKEY root = root_;
        SetListRootForTesting([root] { return root; });
    }
    void TearDown() override {
        SetListRootForTesting({});
        RegCloseKey(root_);
        SHDeleteKeyA(HKEY_CURRENT_USER, scratchPath_.c_str());
        SHDeleteKeyA(HKEY_CURRENT_USER, kMarks);
        installCancelled = 0;
    }

    std::string ListPath(const char* list) const { return std::string(kProgramKeyPath) + "\\" + list; }
    bool ListExists(const char* list) const {
        HKEY key;
        if (RegOpenKeyExA(root_, ListPath(list).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    // The values of a list as stored, in the order the registry lists them.
    std::vector<StoredValue> Stored(const char* list) const {
        std::vector<StoredValue> values;
        HKEY key;
        if (RegOpenKeyExA(root_, ListPath(list).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
        for (DWORD i = 0;; ++i) {
            char name[64];
            DWORD nameSize = sizeof name, type = 0, size = 0;
            if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
            StoredValue v{name, type, std::string(size, '\0')};
            nameSize = sizeof name;
            RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(v.data.data()), &size);
            values.push_back(v);
        }
        RegCloseKey(key);
        return values;
    }
    void Store(const char* list, const std::string& name, const std::string& data) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyA(root_, ListPath(list).c_str(), &key), ERROR_SUCCESS);
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
        RegCloseKey(key);
    }

    // A step context over `files`, logging to `log` (or not).
    StepContext Step(FileList& files, std::FILE* log) {
        return StepContext{log, log ? LogLevel::Full : LogLevel::None, variables_, files, reboot_, installCancelled};
    }

    HKEY root_ = nullptr;
    std::string scratchPath_;
    VariableTable variables_;
    int32_t reboot_ = 0;
};

FileItem& AddItem(FileList& list, const std::string& path, bool registerFile, bool system = false) {
    FileItem& it = list.items.emplace_back();
    it.targetPath = path;
    it.selected = 1;
    it.targetExists = 1;
    it.registerFile = registerFile;
    it.system = system;
    return it;
}

// The log lines written while `work` runs, with the log file at `path`.
template <typename Work>
std::string Logged(const std::string& path, Work work) {
    std::FILE* log = std::fopen(path.c_str(), "wb");
    work(log);
    std::fclose(log);
    return ReadFileText(path);
}

TEST_F(ComRegistrationTest, ListsAreNumberedSystemFirstAndPaddedThenRegisteredOnce) {
    ScratchDir dir;
    FileList files;
    const std::string user = dir / "user.dll", system = dir / "system.dll", text = dir / "notes.txt";
    test::CopyData("comserver.dll", user);
    test::CopyData("comserver.dll", system);
    test::WriteFileText(text, "x");
    AddItem(files, user, true);
    AddItem(files, text, false);
    AddItem(files, system, true, true);
    StepContext step = Step(files, nullptr);
    ASSERT_EQ(SaveComRegList(step), 1);
    ASSERT_EQ(SaveCopyFileList(step), 1);

    auto expectStored = [&](const char* list, const std::vector<std::string>& paths) {
        std::vector<StoredValue> values = Stored(list);
        ASSERT_EQ(values.size(), paths.size()) << list;
        for (const StoredValue& v : values) {
            const size_t n = std::stoul(v.name);
            ASSERT_LT(n, paths.size());
            EXPECT_EQ(v.name, std::to_string(n));
            EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(v.data, StoredPathData(paths[n])) << list << " " << v.name;
        }
    };
    expectStored(kComRegList, {system, user});
    expectStored(kCopyFileList, {user, text, system});

    // The end phase: attributes first (read-only and archive go, hidden
    // stays), then the servers in their order; ComReg goes, CopyFileList stays.
    SetFileAttributesA(text.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(FinishCopiedFiles(step), 1);
    const DWORD attributes = GetFileAttributesA(text.c_str());
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
    // (Wine always reports the archive attribute, so its clearing cannot be seen here.)
    EXPECT_EQ(RegisterSavedComServers(step), 1);
    EXPECT_EQ(Mark(user), "registered");
    EXPECT_EQ(Mark(system), "registered");
    EXPECT_FALSE(ListExists(kComRegList));
    EXPECT_TRUE(ListExists(kCopyFileList));

    // Saving again replaces what was there.
    files.items.resize(1);
    ASSERT_EQ(SaveCopyFileList(step), 1);
    expectStored(kCopyFileList, {user});
}

TEST_F(ComRegistrationTest, ReadingFollowsTheNumbersAndSkipsStrayValues) {
    // Written in reverse, with names that are no entry of a three-value list.
    Store(kCopyFileList, "junk", "C:\\junk");
    Store(kCopyFileList, "1", "C:\\one");
    Store(kCopyFileList, "0", StoredPathData("C:\\zero"));
    Store(kCopyFileList, "7", "C:\\seven");
    Store(kCopyFileList, "2", "C:\\two");
    std::vector<std::string> paths;
    ASSERT_EQ(ReadSavedList(kCopyFileList, paths), 1);
    EXPECT_EQ(paths, (std::vector<std::string>{"C:\\zero", "C:\\one", "C:\\two"}));
}

TEST_F(ComRegistrationTest, EmptyListAndLongPathAreKeptWhole) {
    ScratchDir dir;
    FileList files;
    StepContext none = Step(files, nullptr);
    ASSERT_EQ(SaveComRegList(none), 1);
    EXPECT_TRUE(ListExists(kComRegList));
    EXPECT_TRUE(Stored(kComRegList).empty());
    test::ScriptedBoxes boxes;
    EXPECT_EQ(RegisterSavedComServers(none), 1);
    EXPECT_FALSE(ListExists(kComRegList));
    EXPECT_TRUE(boxes.shown.empty());

    // A 600-character path: stored with its own length, read back whole, and
    // reported whole when it cannot be loaded.
    const std::string longPath = "C:\\" + std::string(589, 'L') + "\\srv.dll";
    ASSERT_EQ(longPath.size(), 600u);
    AddItem(files, longPath, true);
    ASSERT_EQ(SaveComRegList(none), 1);
    const std::vector<StoredValue> values = Stored(kComRegList);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].data, longPath + '\0');
    std::vector<std::string> paths;
    ASSERT_EQ(ReadSavedList(kComRegList, paths), 1);
    EXPECT_EQ(paths, std::vector<std::string>{longPath});
    const std::string log = Logged(dir / "log.txt", [&](std::FILE* f) {
        StepContext step = Step(files, f);
        RegisterSavedComServers(step);
    });
    EXPECT_EQ(log.rfind("Error of loading library " + longPath + ". ", 0), 0u) << log;
}

TEST_F(ComRegistrationTest, FailuresGoToTheLogOrIntoABox) {
    ScratchDir dir;
    const std::string fails = dir / "comfail.dll", noExports = dir / "noexports.dll",
                      missing = dir / "missing.dll", fails64 = dir / "comfail64.dll";
    test::CopyData("comfail.dll", fails);
    test::CopyData("verdll_none.dll", noExports);
    test::CopyData("comfail64.dll", fails64);
    const std::string denied = SystemErrorText(5);
    const struct {
        std::string path;
        bool doRegister;
        std::string report;  // the start of the line or box text
    } cases[] = {
        {fails, true, "Error of registration function of module " + fails + ", code 0x80070005. " + denied},
        {fails, false, "Error of unregistration function of module " + fails + ", code 0x80070005. " + denied},
        {noExports, true, "Error of registring module " + noExports + ". " + SystemErrorText(127)},
        {noExports, false, "Error of unregistring module " + noExports + ". " + SystemErrorText(127)},
        {missing, true, "Error of loading library " + missing + ". " + SystemErrorText(126)},
        {fails64, true, "Error of 64-bit registration of module " + fails64 + ", exit code "},
        {fails64, false, "Error of 64-bit unregistration of module " + fails64 + ", exit code "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        auto call = [&](std::FILE* log) {
            if (c.doRegister) RegisterComServer(log, c.path);
            else UnregisterComServer(log, c.path);
        };
        test::ScriptedBoxes boxes;
        const std::string line = Logged(dir / "log.txt", call);
        EXPECT_EQ(line.rfind(c.report, 0), 0u) << line;
        EXPECT_EQ(line.back(), '\n');
        EXPECT_TRUE(boxes.shown.empty());
        call(nullptr);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text.rfind(c.report, 0), 0u) << boxes.shown[0].text;
        EXPECT_EQ(boxes.shown[0].caption, "Error");
        EXPECT_EQ(boxes.shown[0].style, 0u);
        EXPECT_EQ(Mark(c.path), "");
    }
}

TEST_F(ComRegistrationTest, ThirtyTwoAndSixtyFourBitServersRegisterAndUnregister) {
    ScratchDir dir;
    for (const char* name : {"comserver.dll", "comserver64.dll"}) {
        SCOPED_TRACE(name);
        const std::string server = dir / name;
        test::CopyData(name, server);
        test::ScriptedBoxes boxes;
        const std::string log = Logged(dir / "log.txt", [&](std::FILE* f) { RegisterComServer(f, server); });
        EXPECT_EQ(log, "");
        EXPECT_EQ(Mark(server), "registered");
        RegisterComServer(nullptr, server);  // cleanly: no box either
        UnregisterComServer(nullptr, server);
        EXPECT_EQ(Mark(server), "unregistered");
        EXPECT_TRUE(boxes.shown.empty());
    }
}

TEST_F(ComRegistrationTest, DependenciesComeFromTheServersFolderOnly) {
    ScratchDir dir;
    const std::string helper = ProgramDirectory() + "comdep\\comdephelper.dll";
    // Beside the server: found.
    const std::string beside = dir / "comdep.dll";
    test::CopyData("comdep.dll", beside);
    ASSERT_TRUE(CopyFileA(helper.c_str(), (dir / "comdephelper.dll").c_str(), FALSE));
    RegisterComServer(nullptr, beside);
    EXPECT_EQ(Mark(beside), "registered");

    // Only in the program's folder and in the current folder: never taken.
    const std::string alone = dir / "alone", planted = ProgramDirectory() + "comdephelper.dll";
    CreateDirectoryA(alone.c_str(), nullptr);
    test::CopyData("comdep.dll", alone + "\\comdep.dll");
    ASSERT_TRUE(CopyFileA(helper.c_str(), planted.c_str(), FALSE));
    char oldCurrent[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof oldCurrent, oldCurrent);
    SetCurrentDirectoryA(dir.path().c_str());
    const std::string log = Logged(dir / "log.txt", [&](std::FILE* f) { RegisterComServer(f, alone + "\\comdep.dll"); });
    SetCurrentDirectoryA(oldCurrent);
    DeleteFileA(planted.c_str());
    EXPECT_EQ(log.rfind("Error of loading library " + alone + "\\comdep.dll. " + SystemErrorText(126), 0), 0u) << log;
    EXPECT_EQ(Mark(alone + "\\comdep.dll"), "");
}

TEST_F(ComRegistrationTest, DeletedServersAreUnregisteredOnceBeforeTheDeletion) {
    ScratchDir dir;
    InstallScript script(dir.path() + "\\");
    script.logPath = dir / "install.log";
    script.logLevel = LogLevel::Full;
    const std::string old = dir / "old.dll", gone = dir / "gone.dll";
    test::CopyData("comserver.dll", old);
    for (const std::string& path : {old, gone}) {
        FileItem& it = AddItem(script.fileList, path, true);
        it.deleteItem = 1;
        it.targetExists = path == old;
    }
    // An unticked server is neither installed nor registered; the ticked one is.
    const std::string pkg = dir / "pkg.dll", ticked = dir / "ticked.dll", unticked = dir / "unticked.dll";
    test::CopyData("comserver.dll", pkg);
    for (const std::string& path : {ticked, unticked}) {
        FileItem& it = AddItem(script.fileList, path, true);
        it.sourcePath = pkg;
        it.sourceExists = 1;
        it.targetExists = 0;
        it.selected = path == ticked;
    }
    ASSERT_EQ(RunOrdinaryInstallWithoutWindows(script), 1);
    EXPECT_EQ(Mark(old), "unregistered");
    EXPECT_FALSE(Exists(old));
    EXPECT_EQ(Mark(gone), "");  // not there: neither unregistered nor reported
    EXPECT_EQ(Mark(ticked), "registered");
    EXPECT_FALSE(Exists(unticked));
    EXPECT_EQ(Mark(unticked), "");
    std::vector<std::string> finished;
    ASSERT_EQ(ReadSavedList(kCopyFileList, finished), 1);
    EXPECT_EQ(finished, std::vector<std::string>{ticked});
    EXPECT_FALSE(ListExists(kComRegList));
    const std::string log = ReadFileText(script.logPath);
    EXPECT_EQ(log.find("Error of"), std::string::npos) << log;
}

TEST_F(ComRegistrationTest, KeyThatDoesNotOpenIsReportedAndNothingSaved) {
    SetListRootForTesting([] { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7654)); });
    FileList files;
    AddItem(files, "C:\\x.dll", true);
    StepContext step = Step(files, nullptr);
    test::ScriptedBoxes boxes;
    EXPECT_EQ(SaveComRegList(step), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "Error at opening a key of the registry HKEY_CURRENT_USER. \n. " + SystemErrorText(6));
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    // Reading from a key that does not open is nothing to do.
    EXPECT_EQ(FinishCopiedFiles(step), 1);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

}  // namespace
}  // namespace dp
