#include <gtest/gtest.h>

#include "engine/result_line.h"
#include "items/files/file_list.h"

namespace dp {
namespace {

// An existing versioned target replaced by a newer package file.
FileItem Replaced() {
    FileItem it;
    it.selected = 1;
    it.targetExists = 1;
    it.sourceExists = 1;
    it.needsUpdate = 1;
    it.targetPath = "C:\\App\\core.dll";
    it.sourcePath = "D:\\Pkg\\core.dll";
    it.targetVersionText = "6.1.2.6";
    it.targetDetails = "512; 1.3.2005";
    it.sourceVersionText = "6.1.2.7";
    it.sourceDetails = "640; 5.12.2006";
    return it;
}

// A delete item as the delete sections build it.
FileItem Deleted() {
    FileItem it;
    it.selected = 1;
    it.deleteItem = 1;
    it.needsUpdate = 1;
    it.targetExists = 1;
    it.targetPath = "C:\\App\\old.dll";
    it.sourcePath = " ";
    it.sourceVersionText = " ";
    it.sourceDetails = " ";
    it.targetVersionText = "2.0.0.1";
    it.targetDetails = "100; 2.2.2002";
    return it;
}

std::string Line(const FileItem& it, int level) {
    FileList list;
    list.items.push_back(FileItem{});  // the item is not the first one
    list.items.push_back(it);
    return FormatResultLine(list, level, 1);
}

TEST(ResultLine, EveryFormOfBothLevels) {
    FileItem userChecked = Replaced();
    userChecked.needsUpdate = 0;
    FileItem always = Replaced();
    always.always = 1;
    FileItem missingTarget = Replaced();
    missingTarget.targetExists = 0;
    missingTarget.targetVersionText = "- not found -";
    missingTarget.targetDetails = "";
    FileItem unversioned = Replaced();  // no version resource: the date stands in
    unversioned.sourceVersionText = "5.12.2006";
    unversioned.targetVersionText = "1.3.2005";
    FileItem deletedNoVersion = Deleted();
    deletedNoVersion.targetVersionText = "";
    FileItem unreadable = Deleted();
    unreadable.targetVersionText = "- get error -";
    unreadable.targetDetails = "- get error -";
    FileItem sourceWithoutVersion = Replaced();
    sourceWithoutVersion.sourceVersionText = "";

    struct Case {
        const char* name;
        FileItem item;
        int level;
        const char* line;
    };
    const Case cases[] = {
        {"replaced by rule", Replaced(), 1,
         "C:\\App\\core.dll (6.1.2.6; 512; 1.3.2005) is replaced by D:\\Pkg\\core.dll "
         "(6.1.2.7; 640; 5.12.2006) [By rule]"},
        {"replaced by user", userChecked, 1,
         "C:\\App\\core.dll (6.1.2.6; 512; 1.3.2005) is replaced by D:\\Pkg\\core.dll "
         "(6.1.2.7; 640; 5.12.2006) [By user checked]"},
        {"replaced always: trailing blank", always, 1,
         "C:\\App\\core.dll (6.1.2.6; 512; 1.3.2005) is replaced by D:\\Pkg\\core.dll "
         "(6.1.2.7; 640; 5.12.2006) "},
        {"unversioned files", unversioned, 1,
         "C:\\App\\core.dll (1.3.2005; 512; 1.3.2005) is replaced by D:\\Pkg\\core.dll "
         "(5.12.2006; 640; 5.12.2006) [By rule]"},
        {"empty version text: details alone", sourceWithoutVersion, 1,
         "C:\\App\\core.dll (6.1.2.6; 512; 1.3.2005) is replaced by D:\\Pkg\\core.dll "
         "(640; 5.12.2006) [By rule]"},
        {"installed: no reason", missingTarget, 1,
         "C:\\App\\core.dll (6.1.2.7; 640; 5.12.2006) is installed"},
        {"deleted", Deleted(), 1, "C:\\App\\old.dll (2.0.0.1; 100; 2.2.2002) is deleted"},
        {"deleted, no version text", deletedNoVersion, 1, "C:\\App\\old.dll (100; 2.2.2002) is deleted"},
        {"deleted, unreadable facts", unreadable, 1,
         "C:\\App\\old.dll (- get error -; - get error -) is deleted"},
        {"short, by rule", Replaced(), 2, "Updated C:\\App\\core.dll (6.1.2.7; 640; 5.12.2006) [By rule]"},
        {"short, by user", userChecked, 2,
         "Updated C:\\App\\core.dll (6.1.2.7; 640; 5.12.2006) [By user checked]"},
        {"short, always: trailing blank", always, 2, "Updated C:\\App\\core.dll (6.1.2.7; 640; 5.12.2006) "},
        {"short, missing target", missingTarget, 2,
         "Updated C:\\App\\core.dll (6.1.2.7; 640; 5.12.2006) [By rule]"},
        {"short, delete item: the blank source texts", Deleted(), 2,
         "Updated C:\\App\\old.dll ( ;  ) [By rule]"},
        {"level 0: nothing", Replaced(), 0, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Line(c.item, c.level), c.line) << c.name;
}

TEST(ResultLine, TwoVeryLongPathsGiveTheWholeLineForEachItem) {
    // Far beyond any fixed line buffer; each item must get its own line.
    FileList list;
    for (char c : {'a', 'b'}) {
        FileItem it = Replaced();
        it.targetPath = "C:\\" + std::string(600, c) + "\\t.dll";
        it.sourcePath = "D:\\" + std::string(600, c) + "\\s.dll";
        list.items.push_back(it);
    }
    for (int i = 0; i < 2; ++i) {
        const FileItem& it = list.items[static_cast<size_t>(i)];
        EXPECT_EQ(FormatResultLine(list, 1, i), it.targetPath + " (6.1.2.6; 512; 1.3.2005) is replaced by " +
                                                    it.sourcePath + " (6.1.2.7; 640; 5.12.2006) [By rule]");
        EXPECT_EQ(FormatResultLine(list, 2, i), "Updated " + it.targetPath + " (6.1.2.7; 640; 5.12.2006) [By rule]");
    }
}

TEST(ResultLine, NumberOutsideTheListGivesNothing) {
    FileList list;
    list.items.push_back(Replaced());
    EXPECT_EQ(FormatResultLine(list, 1, -1), "");
    EXPECT_EQ(FormatResultLine(list, 1, 1), "");
    EXPECT_EQ(FormatResultLine(FileList{}, 2, 0), "");
}

TEST(ResultLine, TextsWrittenAfterACopy) {
    const std::string line = "Updated C:\\a.dll (1; 2) [By rule]";
    struct Case {
        uint32_t code;
        bool scheduled;
        std::string text;
    };
    const Case cases[] = {
        {0, false, line + "\n"},
        {112, false, line + " [There is not enough space on the disk. File is not installed], error code = 112\n"},
        {32, true, line + " [After Reboot], error code = 32\n"},
        {5, false, line + " [File is not installed], error code = 5\n"},
        {3, false, line + " [File is not installed], error code = 3\n"},
        // The code as "%i" prints it.
        {0x80070005u, false, line + " [File is not installed], error code = -2147024891\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(CopyResultText(line, c.code, c.scheduled), c.text) << c.code;
    EXPECT_EQ(MissingSourceText("D:\\Pkg\\gone.dll"), "Error coping: source file not found D:\\Pkg\\gone.dll\n");
}

TEST(ResultLine, ProgressPositions) {
    EXPECT_EQ(ProgressPosition(0, 0), 0);
    const int four[] = {0, 25, 50, 75};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ProgressPosition(i, 4), four[i]);
    EXPECT_EQ(ProgressPosition(2, 3), 66);
    // No overflow of item * 100 on a huge list.
    EXPECT_EQ(ProgressPosition(2000000000, 2000000001), 99);
}

TEST(ResultLine, MessageWithPath) {
    EXPECT_EQ(FormatMessageWithPath("File %s is not installed.\nAgain", "D:\\100%s.dll"),
              "File D:\\100%s.dll is not installed.\nAgain");
    EXPECT_EQ(FormatMessageWithPath("no slot", "x"), "no slot");
}

}  // namespace
}  // namespace dp
