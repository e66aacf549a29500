#include "items/shortcuts/shortcuts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "items/files/file_list.h"
#include "script/variable_table.h"
#include "support/recorders.h"

namespace dp {
namespace {

using Texts = std::vector<std::string>;

TEST(ParseShortcuts, LineForms) {
    VariableTable table;
    table.AddEntry("MENU", "", "C:\\Menu\\");
    table.AddEntry("APP", "", "C:\\App");
    const struct {
        std::string section;
        int result;
        Texts links, targets;
        size_t boxes;
    } cases[] = {
        {"%MENU%Product\\Product=%APP%\\product.exe", 1, {"C:\\Menu\\Product\\Product"}, {"C:\\App\\product.exe"}, 0},
        // The first "=" splits; later ones belong to the target.
        {" a = b=c \r\n\tt=\tx\t", 1, {"a", "\tt"}, {"b=c", "\tx\t"}, 0},
        {"", 1, {}, {}, 0},
        {"a=b\nno equals sign\nc=d", 0, {"a"}, {"b"}, 0},
        // An undefined variable is shown; the entry keeps its text.
        {"%NOPE%\\x=y", 1, {"%NOPE%\\x"}, {"y"}, 1},
    };
    for (const auto& c : cases) {
        test::BoxRecorder boxes;
        ShortcutList list;
        EXPECT_EQ(ParseInstallShortcuts(list, c.section, table), c.result) << c.section;
        EXPECT_EQ(list.linkPaths, c.links) << c.section;
        EXPECT_EQ(list.targetPaths, c.targets) << c.section;
        EXPECT_EQ(boxes.boxes.size(), c.boxes) << c.section;
    }

    const struct {
        std::string section;
        Texts links;
    } deletes[] = {
        {"%MENU%Old\\Old\r\n  C:\\x y  ", {"C:\\Menu\\Old\\Old", "C:\\x y"}},
        {"a\n   \nb", {"a", "", "b"}},  // a line of blanks deletes ".lnk", which fails
        {" \r\n ", {}},
    };
    for (const auto& c : deletes) {
        DeleteShortcutList list;
        EXPECT_EQ(ParseDeleteShortcuts(list, c.section, table), 1) << c.section;
        EXPECT_EQ(list.linkPaths, c.links) << c.section;
    }
}

TEST(ParseShortcuts, StopLeavesTheRestUnread) {
    VariableTable table;
    test::ProgressRecorder progress(2);
    ShortcutList list;
    EXPECT_EQ(ParseInstallShortcuts(list, "a=1\nb=2\nc=3", table), 0);
    EXPECT_EQ(list.linkPaths, Texts{"a"});
    EXPECT_EQ(progress.events, (Texts{"0:a", "1/3", "0:b", "2/3"}));
}

TEST(IsInstalledTarget, FirstItemWithTheTargetDecides) {
    FileList files;
    auto add = [&](const char* target, int selected, int deleteItem) {
        FileItem item;
        item.targetPath = target;
        item.selected = static_cast<uint8_t>(selected);
        item.deleteItem = static_cast<uint8_t>(deleteItem);
        files.items.push_back(item);
    };
    add("C:\\App\\up-to-date.exe", 0, 0);
    add("C:\\App\\up-to-date.exe", 1, 0);
    add("C:\\App\\new.exe", 1, 0);
    add("C:\\App\\new.exe", 0, 0);
    add("C:\\App\\gone.exe", 1, 1);
    const struct {
        const char* path;
        int result;
    } cases[] = {
        {"C:\\App\\up-to-date.exe", 0}, {"C:\\App\\new.exe", 1}, {"C:\\APP\\new.exe", 0},
        {"C:\\App\\gone.exe", 0},       {"C:\\Windows\\notepad.exe", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(IsInstalledTarget(files, c.path), c.result) << c.path;
}

}  // namespace
}  // namespace dp
