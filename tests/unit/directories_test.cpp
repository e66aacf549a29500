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

TEST(DeleteDirectory, RefusesRootsTheWindowsTreeSystemFoldersAndWhatLiesAboveThem) {
    const ProtectedFolders system{
        {"C:\\Windows", "\\\\?\\C:\\WINDOWS\\", "D:\\OS\\Win"},
        {"C:\\Windows\\System32\\", "c:/Program Files (x86)/", "C:\\Users\\me\\AppData\\Local\\Temp\\",
         "C:\\Users", "", "not a full path"},
        {"C:\\Users\\"}};
    const std::pair<const char*, bool> cases[] = {
        // Roots and shares; a plain top-level folder goes.
        {"C:", true}, {"C:\\", true}, {"c:/", true}, {"C:\\OldApp", false}, {"C:\\OldApp\\", false},
        {"C:\\Data\\App", false}, {"\\\\srv\\share", true}, {"\\\\srv\\share\\", true}, {"\\\\srv", true},
        {"\\\\srv\\share\\dir", false}, {"\\\\srv\\share\\dir\\sub", false},
        // The Windows folder: all it holds, any case and form, and what lies above it.
        {"C:\\Windows", true}, {"c:\\WINDOWS\\", true}, {"C:\\Windows\\System32", true}, {"C:\\Windows.", true},
        {"C:\\Windows \\", true}, {"C:\\windows\\syswow64\\wbem", true}, {"C:\\Windows\\System32\\spool\\drivers", true},
        {"C:\\Windows\\Product", true}, {"C:\\Windows\\Temp\\Product", true}, {"C:\\Windows::$INDEX_ALLOCATION", true},
        {"C:\\Windows::$INDEX_ALLOCATION\\Temp", true}, {"C:\\OldApp\\..\\Windows\\Fonts", true},
        {"D:\\OS", true}, {"D:\\OS\\Win\\Tree", true}, {"D:\\OS\\Other", false}, {"D:\\Windows", false},
        // The system's folders at the top of any drive.
        {"C:\\System Volume Information", true}, {"E:\\$RECYCLE.BIN\\S-1-5-21-1", true}, {"C:\\Boot\\Fonts", true},
        {"\\\\srv\\share\\Recovery", true}, {"C:\\Documents and Settings\\me", true}, {"C:\\Data\\Boot", false},
        // Protected folders and the folders above them; below them a product's folder goes.
        {"C:\\Program Files (x86)", true}, {"C:\\Program Files (x86)\\Product", false}, {"C:\\Users\\me\\AppData", true},
        {"C:\\Users\\me\\AppData\\Local\\Temp\\Product", false},
        // The profiles: every folder directly in the container.
        {"C:\\Users\\other", true}, {"C:\\Users\\other\\Documents\\Product", false},
        // "." and "..", doubled backslashes, the system's path prefixes.
        {"C:\\Data\\..\\Users", true}, {"C:\\Data\\App\\..\\..", true}, {"C:\\Data\\App\\.", false},
        {"C:\\Data\\\\\\App", false}, {"C:\\Data\\App\\..\\..\\..\\..\\X\\Y", false},
        {"\\\\?\\C:\\Windows\\Help", true}, {"\\\\?\\unc\\srv\\share", true}, {"\\\\?\\UNC\\srv\\share\\a\\b", false},
        {"\\\\.\\C:\\Data\\App", false}, {"\\??\\C:\\Users\\x", true}, {"\\\\?\\GLOBALROOT\\Device\\x", true},
        // What is not a full path at all.
        {"", true}, {"Data\\App", true}, {"C:Data\\App", true}, {"\\Data\\App", true}, {"\\\\\\x\\y\\z", true},
    };
    for (const auto& [path, refused] : cases) EXPECT_EQ(IsProtectedDirectory(path, system), refused) << path;
}

}  // namespace
}  // namespace dp
