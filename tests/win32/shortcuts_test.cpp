// Shortcuts created and deleted through the shell link object; the deletion
// reads each link's target back through it for its log line.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/system_text.h"
#include "file_test_support.h"
#include "items/files/file_list.h"
#include "items/shortcuts.h"
#include "script/variable_table.h"

namespace dp {
namespace {

using test::Exists;

TEST(Shortcuts, CreatedOnlyForInstalledTargetsThenDeleted) {
    for (LogLevel level : {LogLevel::Full, LogLevel::Short}) {
        test::ScratchDir dir;
        const std::string installed = dir / "new.exe", upToDate = dir / "same.exe", menu = dir / "menu\\";
        FileList files;
        files.items.resize(2);
        files.items[0].targetPath = installed;
        files.items[0].selected = 1;
        files.items[1].targetPath = upToDate;
        ShortcutList list;
        list.linkPaths = {menu + "New", menu + "Same", menu + "Notepad", dir / "a\\b\\Deep", menu + std::string(40000, 'n')};
        list.targetPaths = {installed, upToDate, "C:\\windows\\notepad.exe", installed, installed};
        VariableTable variables;
        const std::string created = test::LoggedStep(level, files, variables, [&](StepContext& s) {
            EXPECT_EQ(CreateShortcuts(list, s), 1);
        });
        // The one folder level is made; two missing levels and a name longer
        // than any path fail with their own line.
        EXPECT_TRUE(Exists(menu + "New.lnk"));
        EXPECT_FALSE(Exists(menu + "Same.lnk") || Exists(menu + "Notepad.lnk") || Exists(dir / "a"));
        const std::string errors = "Error creating shortcut " + list.linkPaths[3] + ". " + SystemErrorText(3) + "\n" +
                                   "Error creating shortcut " + list.linkPaths[4] + ". " + SystemErrorText(206) + "\n";
        EXPECT_EQ(created, (level == LogLevel::Full ? "Shortcut " + menu + "New (" + installed + ") is created\n" : "") + errors);

        DeleteShortcutList deletes;
        deletes.linkPaths = {menu + "New", menu + "Missing"};
        const std::string deleted = test::LoggedStep(level, files, variables, [&](StepContext& s) {
            EXPECT_EQ(DeleteShortcuts(deletes, s), 1);
        });
        EXPECT_FALSE(Exists(menu + "New.lnk"));
        EXPECT_EQ(deleted, level == LogLevel::Short ? ""
                                                    : "Shortcut " + menu + "New (" + installed + ") is deleted\n" +
                                                          "Error deleting shortcut " + menu + "Missing. " + SystemErrorText(2) + "\n");
    }
}

}  // namespace
}  // namespace dp
