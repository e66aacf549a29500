// Shortcuts created and deleted through the shell link object; the deletion
// reads each link's target back through it for its log line.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/system_text.h"
#include "items/shortcuts.h"
#include "test_support.h"

namespace dp {
namespace {

using test::Exists;

TEST(Shortcuts, CreatedOnlyForInstalledTargetsThenDeleted) {
    for (LogLevel level : {LogLevel::Full, LogLevel::Short}) {
        test::ScratchDir dir;
        const std::string installed = dir / "new.exe", upToDate = dir / "same.exe", menu = dir / "menu\\";
        test::Step create(level), remove(level);
        for (test::Step* step : {&create, &remove}) {
            step->files.items.resize(2);
            step->files.items[0].targetPath = installed;
            step->files.items[0].selected = 1;
            step->files.items[1].targetPath = upToDate;
        }
        ShortcutList list;
        list.linkPaths = {menu + "New", menu + "Same", menu + "Notepad", dir / "a\\b\\Deep", menu + std::string(40000, 'n')};
        list.targetPaths = {installed, upToDate, "C:\\windows\\notepad.exe", installed, installed};
        EXPECT_EQ(CreateShortcuts(list, create.context), 1);
        // The one folder level is made; two missing levels and a name longer
        // than any path fail with their own line.
        EXPECT_TRUE(Exists(menu + "New.lnk"));
        EXPECT_FALSE(Exists(menu + "Same.lnk") || Exists(menu + "Notepad.lnk") || Exists(dir / "a"));
        const std::string errors = "Error creating shortcut " + list.linkPaths[3] + ". " + SystemErrorText(3) + "\n" +
                                   "Error creating shortcut " + list.linkPaths[4] + ". " + SystemErrorText(206) + "\n";
        EXPECT_EQ(create.Log(), (level == LogLevel::Full ? "Shortcut " + menu + "New (" + installed + ") is created\n" : "") + errors);

        DeleteShortcutList deletes;
        deletes.linkPaths = {menu + "New", menu + "Missing"};
        EXPECT_EQ(DeleteShortcuts(deletes, remove.context), 1);
        EXPECT_FALSE(Exists(menu + "New.lnk"));
        EXPECT_EQ(remove.Log(), level == LogLevel::Short ? ""
                                                    : "Shortcut " + menu + "New (" + installed + ") is deleted\n" +
                                                          "Error deleting shortcut " + menu + "Missing. " + SystemErrorText(2) + "\n");
    }
}

}  // namespace
}  // namespace dp
