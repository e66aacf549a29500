// The after-reboot lists against the real registry and real servers (the
// stand-ins of tests/data), kept under a scratch key of HKEY_CURRENT_USER.
// Whole runs, servers of both sizes and every failure of a registration are
// shown by the scenarios com_*.scn.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/system_text.h"
#include "items/com/com_registration.h"
#include "items/com/com_registration_win32.h"
#include "test_support.h"

namespace dp {
namespace {

using test::ScratchDir;
using Paths = std::vector<std::string>;

constexpr char kMarks[] = "Software\\DeployatorTest\\ComServers";

// What a stand-in left for its path: "registered", "unregistered" or "<none>".
std::string Mark(const std::string& server) { return test::RegText(HKEY_CURRENT_USER, kMarks, server); }

// A path as a list stores it: zero bytes up to 521 bytes in all.
std::string Padded(const std::string& path) { return path + std::string(521 - path.size(), '\0'); }

FileItem& AddItem(FileList& list, const std::string& path, bool registerFile, bool system = false) {
    FileItem& it = list.items.emplace_back();
    it.targetPath = path;
    it.selected = it.targetExists = 1;
    it.registerFile = registerFile;
    it.system = system;
    return it;
}

class ComRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, lists_.key().c_str(), &root_), ERROR_SUCCESS); }
    void TearDown() override { RegCloseKey(root_); }

    std::string ListPath(const char* list) const { return std::string(kProgramKeyPath) + "\\" + list; }
    bool ListExists(const char* list) const { return test::KeyExists(root_, ListPath(list)); }
    // Value "name" of a list as stored ("<none>" when missing or not REG_SZ).
    std::string Stored(const char* list, const std::string& name) const {
        const test::RegValue v = test::ReadRegValue(root_, ListPath(list), name);
        return v.type == REG_SZ ? v.bytes : "<none>";
    }

    test::ScratchKey lists_{"Software\\DeployatorTest\\Lists-" + std::to_string(GetCurrentProcessId())};
    test::ScratchKey marks_{kMarks};
    HKEY root_ = nullptr;
    test::Replaced<ListRootFunction> listRoot_{SetListRootForTesting, [this] { return root_; }};
};

TEST_F(ComRegistrationTest, ListsAreNumberedSystemFirstReadInNumberOrderAndRegisteredOnce) {
    ScratchDir dir;
    test::Step step(LogLevel::None);
    const std::string text = dir / "notes.txt";
    test::WriteFileText(text, "x");
    AddItem(step.files, text, false);
    Paths servers;  // eleven servers, the last from a system section: "10" is listed before "2"
    for (int i = 0; i < 11; ++i) {
        servers.push_back(dir / ("srv" + std::to_string(i) + ".dll"));
        test::CopyData("comserver.dll", servers.back());
        AddItem(step.files, servers.back(), true, i == 10);
    }
    ASSERT_EQ(SaveComRegList(step.context), 1);
    ASSERT_EQ(SaveCopyFileList(step.context), 1);
    Paths expected = {servers[10]};
    expected.insert(expected.end(), servers.begin(), servers.end() - 1);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Stored(kComRegList, std::to_string(i)), Padded(expected[i])) << i;
    EXPECT_EQ(Stored(kComRegList, "11"), "<none>");
    EXPECT_EQ(Stored(kCopyFileList, "0"), Padded(text));

    // Values that are no entry are passed over.
    for (const char* name : {"junk", "99"})
        test::WriteRegValue(root_, ListPath(kComRegList), name, test::RegSz("C:\\x"));
    Paths read;
    ASSERT_EQ(ReadSavedList(kComRegList, read), 1);
    EXPECT_EQ(read, expected);

    // The end phase: read-only and archive go, hidden stays (Wine always
    // reports the archive attribute, so that part cannot be seen here); the
    // servers are registered; ComReg goes, CopyFileList stays.
    // The run that saved the list finishes from what it holds; a run after
    // the reboot, which holds no items, from the list read back.
    test::Step afterReboot(LogLevel::None);
    for (test::Step* end : {&step, &afterReboot}) {
        SetFileAttributesA(text.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
        EXPECT_EQ(FinishCopiedFiles(end->context), 1);
        EXPECT_EQ(GetFileAttributesA(text.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
                  DWORD{FILE_ATTRIBUTE_HIDDEN});
    }
    WorkItems registrations;
    AddComRegistrations(afterReboot.files, true, registrations);
    EXPECT_TRUE(afterReboot.Run(std::move(registrations)));
    for (const std::string& server : servers) EXPECT_EQ(Mark(server), "registered") << server;
    EXPECT_FALSE(ListExists(kComRegList));
    EXPECT_TRUE(ListExists(kCopyFileList));
}

// 600 characters: stored with its own length, read back and reported whole.
TEST_F(ComRegistrationTest, LongPathIsKeptWhole) {
    test::Step quiet(LogLevel::None), logged;
    const std::string longPath = "C:\\" + std::string(589, 'L') + "\\srv.dll";
    AddItem(quiet.files, longPath, true);
    ASSERT_EQ(SaveComRegList(quiet.context), 1);
    EXPECT_EQ(Stored(kComRegList, "0"), longPath + '\0');
    Paths read;
    ASSERT_EQ(ReadSavedList(kComRegList, read), 1);
    EXPECT_EQ(read, Paths{longPath});
    WorkItems registrations;
    AddComRegistrations(logged.files, true, registrations);
    logged.Run(std::move(registrations));
    EXPECT_EQ(logged.Log().rfind("Error of loading library " + longPath + ". ", 0), 0u) << logged.Log();
}

TEST_F(ComRegistrationTest, KeyThatDoesNotOpenIsReportedAndNothingSaved) {
    test::Replaced<ListRootFunction> broken(SetListRootForTesting,
                                            [] { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7654)); });
    test::Step step(LogLevel::None);
    AddItem(step.files, "C:\\x.dll", true);
    test::BoxRecorder boxes;
    EXPECT_EQ(SaveComRegList(step.context), 0);
    EXPECT_EQ(FinishCopiedFiles(step.context), 1);  // a list that does not open is nothing to do
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{"Error|Error at opening a key of the registry HKEY_CURRENT_USER. \n. " +
                                                    SystemErrorText(6) + "|0"});
}

}  // namespace
}  // namespace dp
