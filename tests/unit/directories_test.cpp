#include "items/directories/directories.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/run_flags.h"
#include "script/variable_table.h"

namespace dp {
namespace {

using Texts = std::vector<std::string>;

// Lines far longer than the old 260- and 521-byte buffers are taken whole;
// a bare [DeleteFilesEnd] name is taken from the program's directory.
TEST(DirectorySections, LongLinesAreTakenWhole) {
    stopRequested = 0;
    VariableTable variables;
    variables.programDirectory = "C:\\Setup\\";
    const std::string longPath = "C:\\App\\" + std::string(3000, 'n');
    DirectoryList directories;
    ParseDirectorySection(directories, longPath + "\\\r\n" + longPath + "\\", 0, variables);
    ParseDirectorySection(directories, longPath + "\\", 1, variables);
    EXPECT_EQ(directories.paths, (Texts{longPath + "\\", longPath + "\\", longPath}));
    EndFileList files;
    ASSERT_EQ(ParseDeleteFilesEnd(files, longPath + "\r\nbare.txt", variables), 1);
    EXPECT_EQ(files.paths, (Texts{longPath, "C:\\Setup\\bare.txt"}));
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
