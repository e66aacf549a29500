// Shortcuts created and deleted through the shell link object, read back the
// same way.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

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
using test::ScratchDir;

// The target a link file points to, read through the shell link object.
std::string LinkTarget(const std::string& linkFile) {
    CoInitialize(nullptr);
    std::string target;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkA),
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(__uuidof(IPersistFile), reinterpret_cast<void**>(&file)))) {
            std::wstring wide(linkFile.begin(), linkFile.end());
            char path[MAX_PATH + 1] = {};
            if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) &&
                link->GetPath(path, sizeof path, nullptr, SLGP_UNCPRIORITY) == S_OK)
                target = path;
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return target;
}

template <typename Action>
std::string Logged(LogLevel level, FileList& files, Action action) {
    VariableTable variables;
    return test::LoggedStep(level, files, variables, action);
}

TEST(Shortcuts, CreatedOnlyForInstalledTargetsThenDeleted) {
    for (LogLevel level : {LogLevel::Full, LogLevel::Short}) {
        ScratchDir dir;
        CreateDirectoryA((dir / "app").c_str(), nullptr);
        const std::string installed = dir / "app\\new.exe", upToDate = dir / "app\\same.exe";
        test::WriteFileText(installed, "MZ");
        test::WriteFileText(upToDate, "MZ");
        FileList files;
        files.items.resize(2);
        files.items[0].targetPath = installed;
        files.items[0].selected = 1;
        files.items[1].targetPath = upToDate;

        ShortcutList list;
        auto add = [&](const std::string& link, const std::string& target) {
            list.linkPaths.push_back(link);
            list.targetPaths.push_back(target);
        };
        add(dir / "menu\\New", installed);           // its folder is made, one level
        add(dir / "menu\\Same", upToDate);           // up to date: not made
        add(dir / "menu\\Notepad", "C:\\windows\\notepad.exe");  // listed nowhere
        add(dir / "a\\b\\Deep", installed);          // two missing levels: fails
        const std::string created = Logged(level, files, [&](StepContext& s) { EXPECT_EQ(CreateShortcuts(list, s), 1); });

        EXPECT_EQ(LinkTarget(dir / "menu\\New.lnk"), installed);
        EXPECT_FALSE(Exists(dir / "menu\\Same.lnk"));
        EXPECT_FALSE(Exists(dir / "menu\\Notepad.lnk"));
        EXPECT_FALSE(Exists(dir / "a"));
        const std::string createdLine = "Shortcut " + dir / "menu\\New" + " (" + installed + ") is created\n";
        const std::string deepError = "Error creating shortcut " + dir / "a\\b\\Deep" + ". ";
        EXPECT_EQ(created.find(createdLine) != std::string::npos, level == LogLevel::Full) << created;
        EXPECT_EQ(created.find(deepError), level == LogLevel::Full ? createdLine.size() : 0) << created;

        DeleteShortcutList deletes;
        deletes.linkPaths = {dir / "menu\\New", dir / "menu\\Missing"};
        const std::string deleted = Logged(level, files, [&](StepContext& s) { EXPECT_EQ(DeleteShortcuts(deletes, s), 1); });
        EXPECT_FALSE(Exists(dir / "menu\\New.lnk"));
        if (level == LogLevel::Full)
            EXPECT_EQ(deleted, "Shortcut " + dir / "menu\\New" + " (" + installed + ") is deleted\n" +
                                   "Error deleting shortcut " + dir / "menu\\Missing" + ". " + SystemErrorText(2) + "\n");
        else
            EXPECT_EQ(deleted, "");
    }
}

TEST(Shortcuts, OverlongNameFailsWithItsOwnLine) {
    ScratchDir dir;
    const std::string target = dir / "app.exe";
    test::WriteFileText(target, "MZ");
    FileList files;
    files.items.resize(1);
    files.items[0].targetPath = target;
    files.items[0].selected = 1;
    ShortcutList list;
    list.linkPaths = {dir / std::string(300, 'n'), dir / std::string(40000, 'n')};
    list.targetPaths = {target, target};
    const std::string log = Logged(LogLevel::Short, files, [&](StepContext& s) { CreateShortcuts(list, s); });
    EXPECT_EQ(log.find("Error creating shortcut " + list.linkPaths[0] + ". "), 0u) << log.substr(0, 400);
    EXPECT_NE(log.find(". " + SystemErrorText(ERROR_FILENAME_EXCED_RANGE)), std::string::npos);
    EXPECT_EQ(log.find("is created"), std::string::npos);
}

}  // namespace
}  // namespace dp
