#include "items/directories.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/run_flags.h"
#include "script/variable_table.h"
#include "unit/recorders.h"

namespace dp {
namespace {

using Texts = std::vector<std::string>;

TEST(DirectorySections, CreateAndDeleteEntriesInOneList) {
    VariableTable variables;
    variables.AddEntry("APP", "", "C:\\App\\");
    variables.AddEntry("EMPTY", "", "");
    DirectoryList list;
    ASSERT_EQ(ParseDirectorySection(list, " %APP%Data\\ \r\nC:\\Plain", 0, variables), 1);
    ASSERT_EQ(ParseDirectorySection(list, "%APP%Old\\\r\n   \r\n%EMPTY%\r\nC:\\Two\\\\\r\n\tC:\\Tab", 1, variables), 1);
    ASSERT_EQ(ParseDirectorySection(list, "", 1, variables), 1);
    // A delete entry loses one final backslash; a create entry keeps it.
    EXPECT_EQ(list.paths, (Texts{"C:\\App\\Data\\", "C:\\Plain", "C:\\App\\Old", "", "", "C:\\Two\\", "\tC:\\Tab"}));
    EXPECT_EQ(list.isDelete, (std::vector<uint8_t>{0, 0, 1, 1, 1, 1, 1}));
}

TEST(DirectorySections, DeleteFilesEndTakesBareNamesFromTheProgramDirectory) {
    stopRequested = 0;
    VariableTable variables;
    variables.programDirectory = "C:\\Setup\\";
    variables.AddEntry("APP", "", "C:\\App\\");
    EndFileList list;
    const std::string longName = "C:\\App\\" + std::string(2000, 'n') + ".txt";
    {
        test::ProgressRecorder progress;
        ASSERT_EQ(ParseDeleteFilesEnd(list, " %APP%old.dll\r\nnotes.txt \r\n" + longName, variables), 1);
        EXPECT_EQ(progress.events,
                  (Texts{"0:%APP%old.dll", "1/3", "0:notes.txt", "2/3", "0:" + longName, "3/3", "0/3"}));
    }
    EXPECT_EQ(list.paths, (Texts{"C:\\App\\old.dll", "C:\\Setup\\notes.txt", longName}));

    EndFileList stopped;
    test::ProgressRecorder progress(2);
    EXPECT_EQ(ParseDeleteFilesEnd(stopped, "a\r\nb\r\nc", variables), 0);
    EXPECT_EQ(stopped.paths, Texts{"C:\\Setup\\a"});
    stopRequested = 0;
}

TEST(CreateDirectoryPath, OnlyLevelsFollowedByABackslash) {
    const std::pair<std::string, Texts> cases[] = {
        {"C:\\A\\B\\", {"C:\\A", "C:\\A\\B"}},
        {"C:\\A\\B", {"C:\\A"}},
        {"C:\\", {}},
        {"NoBackslash", {}},
        {"Rel\\A\\", {"Rel\\A"}},
        {"C:\\A\\\\B\\", {"C:\\A", "C:\\A\\\\B"}},
        {"\\\\srv\\share\\d\\", {"\\\\srv", "\\\\srv\\share", "\\\\srv\\share\\d"}},
    };
    for (const auto& [path, levels] : cases) {
        Texts got;
        for (size_t length : DirectoryLevelLengths(path)) got.push_back(path.substr(0, length));
        EXPECT_EQ(got, levels) << path;
    }
}

TEST(RemoveShortcutFolder, FolderIsTheTextBeforeTheLastOfTwoBackslashes) {
    EXPECT_EQ(ShortcutFolder("C:\\Menu\\Product\\Product"), "C:\\Menu\\Product");
    EXPECT_EQ(ShortcutFolder("C:\\Menu\\App.lnk"), "C:\\Menu");
    EXPECT_EQ(ShortcutFolder("C:\\Link"), "");
    EXPECT_EQ(ShortcutFolder("Link"), "");
}

TEST(DeleteDirectory, RefusesRootsSystemFoldersAndWhatLiesAboveThem) {
    const ProtectedFolders system{
        {"C:\\Windows", "C:\\Windows\\System32\\", "c:/Program Files (x86)/", "C:\\Users\\me\\AppData\\Local\\Temp\\",
         "C:\\Users", "", "not a full path"},
        {"C:\\Users\\"}};
    const std::pair<const char*, bool> cases[] = {
        // Roots, shares and what has fewer than two levels below them.
        {"C:", true}, {"C:\\", true}, {"c:/", true}, {"C:\\Data", true}, {"C:\\Data\\App", false},
        {"C:\\Data\\App\\", false}, {"\\\\srv\\share", true}, {"\\\\srv\\share\\", true}, {"\\\\srv", true},
        {"\\\\srv\\share\\dir", true}, {"\\\\srv\\share\\dir\\sub", false},
        // Protected folders, any case and form, and the folders above them.
        {"C:\\Windows", true}, {"c:\\WINDOWS\\", true}, {"C:\\Windows\\System32", true}, {"C:\\Windows.", true},
        {"C:\\Windows \\", true}, {"C:\\Program Files (x86)", true}, {"C:\\Program Files (x86)\\Product", false},
        {"C:\\Users\\me\\AppData", true}, {"C:\\Users\\me\\AppData\\Local\\Temp\\Product", false},
        {"C:\\Windows\\Product", false},
        // The profiles: every folder directly in the container.
        {"C:\\Users\\other", true}, {"C:\\Users\\other\\Documents\\Product", false},
        // "." and "..", doubled backslashes, the system's path prefixes.
        {"C:\\Data\\..\\Windows", true}, {"C:\\Data\\App\\..\\..", true}, {"C:\\Data\\App\\.", false},
        {"C:\\Data\\\\\\App", false}, {"C:\\Data\\App\\..\\..\\..\\..\\X\\Y", false},
        {"\\\\?\\C:\\Windows", true}, {"\\\\?\\unc\\srv\\share\\a", true}, {"\\\\?\\UNC\\srv\\share\\a\\b", false},
        {"\\\\.\\C:\\Data\\App", false}, {"\\??\\C:\\Users\\x", true},
        // What is not a full path at all.
        {"", true}, {"Data\\App", true}, {"C:Data\\App", true}, {"\\Data\\App", true}, {"\\\\\\x\\y\\z", true},
    };
    for (const auto& [path, refused] : cases) EXPECT_EQ(IsProtectedDirectory(path, system), refused) << path;
}

}  // namespace
}  // namespace dp
