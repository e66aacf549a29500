// How a quiet run copies: the package file of a missing target read once, by
// its copy; targets made with their final attributes, left alone by the end
// phase. Against the same section read and copied the ordinary way.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/path_policy.h"
#include "items/com/com_registration.h"
#include "items/files/file_items.h"
#include "test_support.h"

namespace dp {
namespace {

using test::CopyData;
using test::SetWriteTime;
using test::WriteFileText;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// One section installed into its own folder, read as a quiet run reads it
// (factsAtCopy) or with every package file read at the reading; the log of
// its copies and the files they made.
struct Install {
    Install(const std::string& dir, const std::string& target, bool factsAtCopy, LogLevel level)
        : step(level), folder(dir + target) {
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA((folder + "\\old").c_str(), nullptr);
        WriteFileText(folder + "\\old\\kept", "old");
        SetWriteTime(folder + "\\old\\kept", test::FileTimeOf(2020, 1, 1));
        std::string section;
        for (const char* name : {"small", "hidden", "readonly", "big", "v1.dll", "sub\\small", "old\\kept", "gone"})
            section += folder + "\\" + name + "=" + dir + "src\\" + std::string(LastPathPart(name)) + "\n";
        FileList& files = step.files;
        files.readEveryTarget = false;
        files.holdSmallSources = true;
        files.readAhead = true;
        files.sourceFactsAtCopy = factsAtCopy;
        test::BoxRecorder boxes(kAnswerCancel);  // the missing source's question: go on
        EXPECT_EQ(files.ParseInstallSection(section, 0, 0, 0, 0, step.variables, dir), 1);
        WorkItems items;
        AddFileCopies(files, items);
        step.Run(std::move(items));
        log = step.Log();
    }
    test::Step step;
    std::string folder;
    std::string log;
};

TEST(QuietCopies, FactsReadByTheCopyLogAndInstallTheSame) {
    test::ScratchDir dir;
    const std::string d = dir.path() + "\\";
    CreateDirectoryA((d + "src").c_str(), nullptr);
    WriteFileText(d + "src\\small", "small bytes");
    WriteFileText(d + "src\\hidden", "hidden bytes");
    WriteFileText(d + "src\\readonly", "read-only bytes");
    WriteFileText(d + "src\\big", std::string(20000, 'b'));  // beyond what a reading holds
    WriteFileText(d + "src\\kept", "new");
    CopyData("verdll_1000.dll", d + "src\\v1.dll");
    for (const char* name : {"small", "hidden", "readonly", "big", "kept", "v1.dll"})
        SetWriteTime(d + "src\\" + name, test::FileTimeOf(2024, 3, 1));
    SetFileAttributesA((d + "src\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((d + "src\\readonly").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((d + "src\\big").c_str(), FILE_ATTRIBUTE_READONLY);

    for (LogLevel level : {LogLevel::Full, LogLevel::Short}) {
        SCOPED_TRACE(static_cast<int>(level));
        const std::string a = level == LogLevel::Full ? "a" : "c", b = level == LogLevel::Full ? "b" : "d";
        const Install read(d, a, false, level);
        const Install copied(d, b, true, level);
        EXPECT_EQ(Replaced(copied.log, d + b, d + a), read.log);
        EXPECT_NE(read.log.find(level == LogLevel::Full ? "is replaced by" : "Updated"), std::string::npos) << read.log;
        // Until its copy an item of a missing target knows only that its
        // package file is there.
        for (const FileItem& it : copied.step.files.items) {
            SCOPED_TRACE(it.targetPath);
            EXPECT_EQ(it.sourceFactsAtCopy, 0);
            const FileItem& same = read.step.files.items[static_cast<size_t>(it.rowKey)];
            EXPECT_EQ(it.sourceVersionText, same.sourceVersionText);
            EXPECT_EQ(it.sourceDetails, same.sourceDetails);
            EXPECT_EQ(it.sourceFacts.lastWriteTime, same.sourceFacts.lastWriteTime);
            EXPECT_FALSE(it.heldSource);
        }
        for (const char* name : {"small", "hidden", "readonly", "big", "v1.dll", "sub\\small", "old\\kept"}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(test::ReadFileText(copied.folder + "\\" + name), test::ReadFileText(read.folder + "\\" + name));
        }
        // Files written from the bytes the copy read have their final
        // attributes (the package file's, read-only and archive cleared)
        // and are left out of what the end phase opens; the system's copies
        // (a large file) stay in it.
        EXPECT_EQ(Attributes(copied.folder + "\\readonly") & FILE_ATTRIBUTE_READONLY, 0u);
        EXPECT_NE(Attributes(copied.folder + "\\hidden") & FILE_ATTRIBUTE_HIDDEN, 0u);
        std::vector<std::string> finished;
        for (const FileItem& it : copied.step.files.items)
            if (it.finished) finished.push_back(it.targetPath.substr(copied.folder.size() + 1));
        EXPECT_EQ(finished, (std::vector<std::string>{"small", "hidden", "readonly", "sub\\small", "old\\kept"}));
        const std::vector<std::string> left = FilesToFinish(copied.step.files, true);
        EXPECT_EQ(left, (std::vector<std::string>{copied.folder + "\\big", copied.folder + "\\v1.dll"}));
        EXPECT_EQ(FilesToFinish(copied.step.files).size(), 7u);  // the list after a reboot holds all
    }
}

}  // namespace
}  // namespace dp
