#include <gtest/gtest.h>

#include <functional>

#include "items/files/file_list.h"
#include "items/files/file_texts.h"
#include "items/files/result_line.h"

namespace dp {
namespace {

// The facts of a file read on a day (FILETIME at noon UTC), with a version
// resource when `version` is given.
FileFacts Read(uint64_t size, int64_t daysSince1601, bool version) {
    FileFacts f;
    f.factsOk = 1;
    f.size = size;
    f.lastWriteTime = static_cast<uint64_t>(daysSince1601) * 864000000000ULL + 432000000000ULL;
    f.hasVersion = version ? 1 : 0;
    return f;
}
// Days from 1 January 1601 to 1 March 2005, 5 December 2006 and 2 February 2002.
constexpr int64_t k1Mar2005 = 147617, k5Dec2006 = 148261, k2Feb2002 = 146494;

// An existing versioned target replaced by a newer package file, changed by `edit`.
FileItem Replaced(const std::function<void(FileItem&)>& edit = {}) {
    FileItem it;
    it.selected = it.targetExists = it.sourceExists = it.needsUpdate = 1;
    it.targetPath = "C:\\App\\core.dll";
    it.sourcePath = "D:\\Pkg\\core.dll";
    ShowTargetFacts(it, Read(512, k1Mar2005, true), "6.1.2.6", true);
    ShowSourceFacts(it, Read(640, k5Dec2006, true), "6.1.2.7", true);
    if (edit) edit(it);
    return it;
}

// A delete item as the delete sections build it.
FileItem Deleted(const std::function<void(FileItem&)>& edit = {}) {
    return Replaced([&](FileItem& it) {
        it.deleteItem = 1;
        it.sourceExists = 0;
        it.targetPath = "C:\\App\\old.dll";
        it.sourcePath = " ";
        it.sourceShown = static_cast<uint8_t>(FileShown::kBlank);
        ShowTargetFacts(it, Read(100, k2Feb2002, true), "2.0.0.1", true);
        if (edit) edit(it);
    });
}

TEST(ResultLine, EveryFormOfBothLevels) {
    const FileItem userChecked = Replaced([](FileItem& it) { it.needsUpdate = 0; });
    const FileItem always = Replaced([](FileItem& it) { it.always = 1; });
    const FileItem missingTarget = Replaced([](FileItem& it) {
        it.targetExists = 0;
        it.targetShown = static_cast<uint8_t>(FileShown::kNotFound);
    });
    const std::string by = "C:\\App\\core.dll (6.1.2.6; 512; 1.3.2005) is replaced by D:\\Pkg\\core.dll ";
    const struct {
        const char* name;
        FileItem item;
        LogLevel level;
        std::string line;
    } cases[] = {
        {"replaced by rule", Replaced(), LogLevel::Full, by + "(6.1.2.7; 640; 5.12.2006) [By rule]"},
        {"replaced by user", userChecked, LogLevel::Full, by + "(6.1.2.7; 640; 5.12.2006) [By user checked]"},
        {"replaced always: trailing blank", always, LogLevel::Full, by + "(6.1.2.7; 640; 5.12.2006) "},
        {"empty version text: details alone", Replaced([](FileItem& it) { ShowSourceFacts(it, it.sourceFacts, "", true); }), LogLevel::Full,
         by + "(640; 5.12.2006) [By rule]"},
        {"installed: no reason", missingTarget, LogLevel::Full, "C:\\App\\core.dll (6.1.2.7; 640; 5.12.2006) is installed"},
        {"deleted", Deleted(), LogLevel::Full, "C:\\App\\old.dll (2.0.0.1; 100; 2.2.2002) is deleted"},
        {"deleted, no version text", Deleted([](FileItem& it) { ShowTargetFacts(it, it.targetFacts, "", true); }), LogLevel::Full,
         "C:\\App\\old.dll (100; 2.2.2002) is deleted"},
        {"deleted, unreadable facts",
         Deleted([](FileItem& it) { ShowTargetFacts(it, FileFacts{}, "", false); }), LogLevel::Full,
         "C:\\App\\old.dll (- get error -; - get error -) is deleted"},
        {"short, by rule", Replaced(), LogLevel::Short, "Updated C:\\App\\core.dll (6.1.2.7; 640; 5.12.2006) [By rule]"},
        {"short, by user", userChecked, LogLevel::Short, "Updated C:\\App\\core.dll (6.1.2.7; 640; 5.12.2006) [By user checked]"},
        {"short, always: trailing blank", always, LogLevel::Short, "Updated C:\\App\\core.dll (6.1.2.7; 640; 5.12.2006) "},
        {"short, missing target", missingTarget, LogLevel::Short, "Updated C:\\App\\core.dll (6.1.2.7; 640; 5.12.2006) [By rule]"},
        {"short, delete item: the blank source texts", Deleted(), LogLevel::Short, "Updated C:\\App\\old.dll ( ;  ) [By rule]"},
        {"level 0: nothing", Replaced(), LogLevel::None, ""},
    };
    for (const auto& c : cases) {
        FileList list;
        list.items = {FileItem{}, c.item};  // not the first item
        EXPECT_EQ(FormatResultLine(list, c.level, 1), c.line) << c.name;
    }
    // A number outside the list gives nothing.
    FileList one;
    one.items = {Replaced()};
    EXPECT_EQ(FormatResultLine(one, LogLevel::Full, -1) + FormatResultLine(one, LogLevel::Full, 1), "");
}

TEST(ResultLine, TwoVeryLongPathsGiveTheWholeLineForEachItem) {
    // Far beyond any fixed line buffer; each item must get its own line.
    FileList list;
    for (char c : {'a', 'b'})
        list.items.push_back(Replaced([c](FileItem& it) {
            it.targetPath = "C:\\" + std::string(600, c) + "\\t.dll";
            it.sourcePath = "D:\\" + std::string(600, c) + "\\s.dll";
        }));
    for (int i = 0; i < 2; ++i) {
        const FileItem& it = list.items[static_cast<size_t>(i)];
        EXPECT_EQ(FormatResultLine(list, LogLevel::Full, i), it.targetPath + " (6.1.2.6; 512; 1.3.2005) is replaced by " +
                                                    it.sourcePath + " (6.1.2.7; 640; 5.12.2006) [By rule]");
        EXPECT_EQ(FormatResultLine(list, LogLevel::Short, i), "Updated " + it.targetPath + " (6.1.2.7; 640; 5.12.2006) [By rule]");
    }
}

TEST(ResultLine, TextsWrittenAfterACopy) {
    const std::string line = "Updated C:\\a.dll (1; 2) [By rule]";
    const struct {
        uint32_t code;
        bool scheduled;
        std::string text;
    } cases[] = {
        {0, false, line + "\n"},
        {112, false, line + " [There is not enough space on the disk. File is not installed], error code = 112\n"},
        {32, true, line + " [After Reboot], error code = 32\n"},
        {32, false, line + " [File is not installed], error code = 32\n"},
        {0x80070005u, false, line + " [File is not installed], error code = -2147024891\n"},  // as "%i" prints it
    };
    for (const auto& c : cases) EXPECT_EQ(CopyResultText(line, c.code, c.scheduled), c.text) << c.code;
    EXPECT_EQ(MissingSourceText("D:\\Pkg\\gone.dll"), "Error coping: source file not found D:\\Pkg\\gone.dll\n");
}

TEST(ResultLine, MessageWithPath) {
    // A "%s" inside the path is not expanded again.
    EXPECT_EQ(FormatMessageWithPath("File %s is not installed.\nAgain", "D:\\100%s.dll"),
              "File D:\\100%s.dll is not installed.\nAgain");
    EXPECT_EQ(FormatMessageWithPath("no slot", "x"), "no slot");
}

}  // namespace
}  // namespace dp
