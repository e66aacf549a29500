// COM registration and the after-reboot lists against the real registry and
// real servers (the stand-ins of tests/data), the lists kept under a scratch
// key of HKEY_CURRENT_USER.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

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

using test::ReadFileText;
using test::ScratchDir;
using Paths = std::vector<std::string>;

constexpr char kMarks[] = "Software\\DeployatorTest\\ComServers";

// What a stand-in left for its path: "registered", "unregistered" or "".
std::string Mark(const std::string& server) {
    char data[64] = {};
    DWORD size = sizeof data - 1;
    RegGetValueA(HKEY_CURRENT_USER, kMarks, server.c_str(), RRF_RT_REG_SZ, nullptr, data, &size);
    return data;
}

FileItem& AddItem(FileList& list, const std::string& path, bool registerFile, bool system = false) {
    FileItem& it = list.items.emplace_back();
    it.targetPath = path;
    it.selected = it.targetExists = 1;
    it.registerFile = registerFile;
    it.system = system;
    return it;
}

// What `work` writes to a log file.
template <typename Work>
std::string Logged(const std::string& path, Work work) {
    std::FILE* log = std::fopen(path.c_str(), "wb");
    work(log);
    std::fclose(log);
    return ReadFileText(path);
}

class ComRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        SHDeleteKeyA(HKEY_CURRENT_USER, scratch_.c_str());
        SHDeleteKeyA(HKEY_CURRENT_USER, kMarks);
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, scratch_.c_str(), &root_), ERROR_SUCCESS);
        SetListRootForTesting([root = root_] { return root; });
    }
    void TearDown() override {
        SetListRootForTesting({});
        RegCloseKey(root_);
        SHDeleteKeyA(HKEY_CURRENT_USER, scratch_.c_str());
        SHDeleteKeyA(HKEY_CURRENT_USER, kMarks);
    }

    std::string ListPath(const char* list) const { return std::string(kProgramKeyPath) + "\\" + list; }
    bool ListExists(const char* list) const {
        HKEY key;
        if (RegOpenKeyExA(root_, ListPath(list).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    // Value "name" of a list as stored ("<none>" when missing or not REG_SZ).
    std::string Stored(const char* list, const std::string& name) const {
        std::string data(70000, '\0');
        DWORD type = 0, size = static_cast<DWORD>(data.size());
        HKEY key;
        if (RegOpenKeyExA(root_, ListPath(list).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
        const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS && type == REG_SZ ? data.substr(0, size) : "<none>";
    }
    StepContext Step(FileList& files, std::FILE* log) {
        return StepContext{log, log ? LogLevel::Full : LogLevel::None, variables_, files, reboot_, installCancelled};
    }

    std::string scratch_ = "Software\\DeployatorTest\\Lists-" + std::to_string(GetCurrentProcessId());
    HKEY root_ = nullptr;
    VariableTable variables_;
    int32_t reboot_ = 0;
};

TEST_F(ComRegistrationTest, ListsAreNumberedSystemFirstReadInNumberOrderAndRegisteredOnce) {
    ScratchDir dir;
    FileList files;
    const std::string text = dir / "notes.txt";
    test::WriteFileText(text, "x");
    AddItem(files, text, false);
    Paths servers;  // eleven servers, the last from a system section: "10" is listed before "2"
    for (int i = 0; i < 11; ++i) {
        servers.push_back(dir / ("srv" + std::to_string(i) + ".dll"));
        test::CopyData("comserver.dll", servers.back());
        AddItem(files, servers.back(), true, i == 10);
    }
    StepContext step = Step(files, nullptr);
    ASSERT_EQ(SaveComRegList(step), 1);
    ASSERT_EQ(SaveCopyFileList(step), 1);
    Paths expected = {servers[10]};
    expected.insert(expected.end(), servers.begin(), servers.end() - 1);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Stored(kComRegList, std::to_string(i)), StoredPathData(expected[i])) << i;
    EXPECT_EQ(Stored(kComRegList, "11"), "<none>");
    EXPECT_EQ(Stored(kCopyFileList, "0"), StoredPathData(text));
    EXPECT_EQ(StoredPathData(text).size(), 521u);

    // Values that are no entry are passed over.
    HKEY list;
    ASSERT_EQ(RegOpenKeyExA(root_, ListPath(kComRegList).c_str(), 0, KEY_SET_VALUE, &list), ERROR_SUCCESS);
    for (const char* name : {"junk", "99"}) RegSetValueExA(list, name, 0, REG_SZ, (const BYTE*)"C:\\x", 5);
    RegCloseKey(list);
    Paths read;
    ASSERT_EQ(ReadSavedList(kComRegList, read), 1);
    EXPECT_EQ(read, expected);

    // The end phase: read-only and archive go, hidden stays (Wine always
    // reports the archive attribute, so that part cannot be seen here); the
    // servers are registered; ComReg goes, CopyFileList stays.
    // The run that saved the list finishes from what it holds; a run after
    // the reboot, which holds no items, from the list read back.
    FileList afterReboot;
    StepContext later = Step(afterReboot, nullptr);
    for (StepContext* end : {&step, &later}) {
        SetFileAttributesA(text.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
        EXPECT_EQ(FinishCopiedFiles(*end), 1);
        EXPECT_EQ(GetFileAttributesA(text.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
                  static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    }
    EXPECT_EQ(RegisterSavedComServers(step), 1);
    for (const std::string& server : servers) EXPECT_EQ(Mark(server), "registered") << server;
    EXPECT_FALSE(ListExists(kComRegList));
    EXPECT_TRUE(ListExists(kCopyFileList));
}

TEST_F(ComRegistrationTest, EmptyListAndLongPathAreKeptWhole) {
    ScratchDir dir;
    FileList files;
    StepContext none = Step(files, nullptr);
    ASSERT_EQ(SaveComRegList(none), 1);
    EXPECT_TRUE(ListExists(kComRegList));
    EXPECT_EQ(Stored(kComRegList, "0"), "<none>");
    test::ScriptedBoxes boxes;
    EXPECT_EQ(RegisterSavedComServers(none), 1);
    EXPECT_FALSE(ListExists(kComRegList));
    EXPECT_TRUE(boxes.shown.empty());

    // 600 characters: stored with its own length, read back and reported whole.
    const std::string longPath = "C:\\" + std::string(589, 'L') + "\\srv.dll";
    AddItem(files, longPath, true);
    ASSERT_EQ(SaveComRegList(none), 1);
    EXPECT_EQ(Stored(kComRegList, "0"), longPath + '\0');
    Paths read;
    ASSERT_EQ(ReadSavedList(kComRegList, read), 1);
    EXPECT_EQ(read, Paths{longPath});
    const std::string log = Logged(dir / "log.txt", [&](std::FILE* f) {
        StepContext step = Step(files, f);
        RegisterSavedComServers(step);
    });
    EXPECT_EQ(log.rfind("Error of loading library " + longPath + ". ", 0), 0u) << log;
}

TEST_F(ComRegistrationTest, ServersOfBothSizesAndTheirFailuresInTheLogOrABox) {
    ScratchDir dir;
    for (const char* name : {"comserver.dll", "comserver64.dll", "comfail.dll", "comfail64.dll"})
        test::CopyData(name, dir / name);
    test::CopyData("verdll_none.dll", dir / "noexports.dll");
    const std::string denied = ", code 0x80070005. " + SystemErrorText(5);
    const struct {
        std::string name;
        bool doRegister;
        std::string report;  // the start of the line and of the box text; "" none
        std::string mark;
    } cases[] = {
        {"comserver.dll", true, "", "registered"},
        {"comserver.dll", false, "", "unregistered"},
        {"comserver64.dll", true, "", "registered"},
        {"comserver64.dll", false, "", "unregistered"},
        {"comfail.dll", true, "Error of registration function of module @" + denied, ""},
        {"comfail.dll", false, "Error of unregistration function of module @" + denied, ""},
        {"noexports.dll", true, "Error of registring module @. " + SystemErrorText(127), ""},
        {"noexports.dll", false, "Error of unregistring module @. " + SystemErrorText(127), ""},
        {"missing.dll", true, "Error of loading library @. " + SystemErrorText(126), ""},
        {"comfail64.dll", true, "Error of 64-bit registration of module @, exit code 5.", ""},
        {"comfail64.dll", false, "Error of 64-bit unregistration of module @, exit code 5.", ""},
    };
    for (const auto& c : cases) {
        const std::string path = dir / c.name;
        std::string report = c.report;
        if (!report.empty()) report.replace(report.find('@'), 1, path);
        SCOPED_TRACE(c.name + (c.doRegister ? " register" : " unregister"));
        auto call = [&](std::FILE* log) { (c.doRegister ? RegisterComServer : UnregisterComServer)(log, path); };
        test::ScriptedBoxes boxes;
        const std::string line = Logged(dir / "log.txt", call);
        EXPECT_EQ(line.rfind(report, 0), 0u) << line;
        EXPECT_EQ(line.empty(), report.empty());
        EXPECT_EQ(Mark(path), c.mark);
        call(nullptr);
        ASSERT_EQ(boxes.shown.size(), report.empty() ? 0u : 1u);
        if (report.empty()) continue;
        EXPECT_EQ(boxes.shown[0].text.rfind(report, 0), 0u) << boxes.shown[0].text;
        EXPECT_EQ(boxes.shown[0].caption, "Error");
    }
}

TEST_F(ComRegistrationTest, DependenciesComeFromTheServersFolderOnly) {
    ScratchDir dir;
    const std::string helper = ProgramDirectory() + "comdep\\comdephelper.dll";
    const std::string beside = dir / "comdep.dll", alone = dir / "alone\\comdep.dll";
    test::CopyData("comdep.dll", beside);
    ASSERT_TRUE(CopyFileA(helper.c_str(), (dir / "comdephelper.dll").c_str(), FALSE));
    RegisterComServer(nullptr, beside);
    EXPECT_EQ(Mark(beside), "registered");

    // With the helper only in the program's folder and the current folder.
    const std::string planted = ProgramDirectory() + "comdephelper.dll";
    CreateDirectoryA((dir / "alone").c_str(), nullptr);
    test::CopyData("comdep.dll", alone);
    ASSERT_TRUE(CopyFileA(helper.c_str(), planted.c_str(), FALSE));
    char current[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof current, current);
    SetCurrentDirectoryA(dir.path().c_str());
    const std::string log = Logged(dir / "log.txt", [&](std::FILE* f) { RegisterComServer(f, alone); });
    SetCurrentDirectoryA(current);
    DeleteFileA(planted.c_str());
    EXPECT_EQ(log.rfind("Error of loading library " + alone + ". " + SystemErrorText(126), 0), 0u) << log;
    EXPECT_EQ(Mark(alone), "");
}

TEST_F(ComRegistrationTest, InstallRunUnregistersDeletedServersOnceAndRegistersTickedOnes) {
    ScratchDir dir;
    InstallScript script(dir.path() + "\\");
    script.logPath = dir / "install.log";
    script.logLevel = LogLevel::Full;
    const std::string old = dir / "old.dll", gone = dir / "gone.dll", pkg = dir / "pkg.dll",
                      ticked = dir / "ticked.dll", unticked = dir / "unticked.dll";
    test::CopyData("comserver.dll", old);
    test::CopyData("comserver.dll", pkg);
    for (const std::string& path : {old, gone}) {
        FileItem& it = AddItem(script.fileList, path, true);
        it.deleteItem = 1;
        it.targetExists = path == old;
    }
    for (const std::string& path : {ticked, unticked}) {
        FileItem& it = AddItem(script.fileList, path, true);
        it.sourcePath = pkg;
        it.sourceExists = 1;
        it.targetExists = 0;
        it.selected = path == ticked;
    }
    ASSERT_EQ(RunOrdinaryInstallWithoutWindows(script), 1);
    EXPECT_EQ(Mark(old), "unregistered");
    EXPECT_FALSE(test::Exists(old));
    EXPECT_EQ(Mark(gone), "");  // not on disk: neither unregistered nor reported
    EXPECT_EQ(Mark(ticked), "registered");
    EXPECT_FALSE(test::Exists(unticked));
    EXPECT_EQ(Mark(unticked), "");
    Paths finished;
    ASSERT_EQ(ReadSavedList(kCopyFileList, finished), 1);
    EXPECT_EQ(finished, Paths{ticked});
    EXPECT_FALSE(ListExists(kComRegList));
    EXPECT_EQ(ReadFileText(script.logPath).find("Error of"), std::string::npos);
}

TEST_F(ComRegistrationTest, KeyThatDoesNotOpenIsReportedAndNothingSaved) {
    SetListRootForTesting([] { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7654)); });
    FileList files;
    AddItem(files, "C:\\x.dll", true);
    StepContext step = Step(files, nullptr);
    test::ScriptedBoxes boxes;
    EXPECT_EQ(SaveComRegList(step), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Error at opening a key of the registry HKEY_CURRENT_USER. \n. " + SystemErrorText(6));
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_EQ(FinishCopiedFiles(step), 1);  // a list that does not open is nothing to do
    EXPECT_EQ(boxes.shown.size(), 1u);
}

}  // namespace
}  // namespace dp
