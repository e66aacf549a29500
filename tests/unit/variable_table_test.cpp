#include "script/variable_table.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/run_flags.h"
#include "support/recorders.h"

namespace dp {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// The predefined names (made-up folders) and the given entries.
VariableTable MakeTable(const Entries& extra = {}) {
    VariableTable table;
    for (int i = 0; i < kPredefinedCount; ++i)
        table.AddEntry(kPredefinedNames[i], "", i ? "C:\\F" + std::to_string(i) + "\\" : "C:\\WINDOWS\\");
    for (auto& [name, value] : extra) table.AddEntry(name, value, value);
    return table;
}

TEST(ExpandVariables, StrictAndTolerant) {
    VariableTable table = MakeTable({{"AB", "x"}, {"NAME", "ab%c"}, {"xab", "Z"}, {"OUTER", "<%INNER%>"},
                                     {"INNER", "in"}, {"EMPTY", ""}});
    const struct {
        std::string in;
        bool tolerant;
        int result;
        std::string out, box;
    } cases[] = {
        {"%WINDOWS_PATH%Fonts", false, 1, "C:\\WINDOWS\\Fonts", ""},
        {"%ab%-%Ab%", false, 1, "x-x", ""},  // names ignore case
        {"%a%", false, 1, "%a%", ""},  // a one-character name is no reference
        {"%%", false, 1, "%%", ""},
        {"100%% %AB%", false, 1, "100%% x", ""},
        {"50% off", false, 1, "50% off", ""},
        {"%", false, 1, "%", ""},
        {"%x%AB%", false, 1, "%xx", ""},  // "%x%" is skipped; its second sign opens %AB%
        {"%OUTER%a%EMPTY%b", false, 1, "<in>ab", ""},
        // After a replacement the search restarts at the beginning: "%x"
        // followed by the value "ab%c" forms the new reference %xab%.
        {"%x%NAME%", false, 1, "Zc", ""},
        {"pre %AB% %NOPE% %AB%", false, 0, "pre x %NOPE% %AB%", "|Undefined variable NOPE.|0"},
        {"%SystemRoot%\\x;%AB%;%windir%%AB%", true, 1, "%SystemRoot%\\x;x;%windir%x", ""},
    };
    for (const auto& c : cases) {
        test::BoxRecorder boxes;
        std::string text = c.in;
        EXPECT_EQ(table.ExpandVariables(text, c.tolerant), c.result) << c.in;
        EXPECT_EQ(text, c.out) << c.in;
        EXPECT_EQ(boxes.boxes, c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
        // The silent form expands alike and reports nothing.
        if (c.tolerant) continue;
        std::string silent = c.in;
        EXPECT_EQ(table.ExpandWithoutReport(silent), c.result) << c.in;
        EXPECT_EQ(silent, c.out) << c.in;
        EXPECT_EQ(boxes.boxes.size(), c.box.empty() ? 0u : 1u) << c.in;
    }
}

TEST(ExpandVariables, SelfReferenceIsReportedInsteadOfLoopingForever) {
    // A chain whose text doubles at each step cannot be a script's intent
    // either; it refers to nothing twice, so it gets a message of its own.
    Entries doubling;
    for (int i = 0; i < 19; ++i)
        doubling.push_back({"V" + std::to_string(i), "%V" + std::to_string(i + 1) + "%%V" + std::to_string(i + 1) + "%"});
    doubling.push_back({"V19", std::string(1000, 'x')});
    const struct {
        Entries entries;
        std::string text, box;
    } cases[] = {
        {{{"AA", "x%AA%y"}}, "-%AA%-", "|Variable refers to itself AA.|0"},
        {{{"AA", "%BB%"}, {"BB", "%CC%"}, {"CC", "%AA%"}}, "%BB%", "|Variable refers to itself BB.|0"},
        {doubling, "%V0%", "|Variable value is too long *"},
    };
    for (const auto& c : cases) {
        VariableTable table = MakeTable(c.entries);
        for (bool tolerant : {false, true}) {
            test::BoxRecorder boxes;
            std::string text = c.text;
            EXPECT_EQ(table.ExpandVariables(text, tolerant), 0) << c.text;
            ASSERT_EQ(boxes.boxes.size(), 1u) << c.text;
            if (c.box.back() == '*')
                EXPECT_EQ(boxes.boxes[0].rfind(c.box.substr(0, c.box.size() - 1), 0), 0u) << boxes.boxes[0];
            else
                EXPECT_EQ(boxes.boxes[0], c.box);
        }
        test::BoxRecorder boxes;
        std::string text = c.text;
        EXPECT_EQ(table.ExpandWithoutReport(text), 0) << c.text;
        EXPECT_TRUE(boxes.boxes.empty()) << c.text;
    }
}

TEST(ExpandVariables, RepeatedUseLongChainsAndLongTextsAreFine) {
    const std::string longName(5000, 'N');
    const std::string longValue(300000, 'v');
    VariableTable table = MakeTable({{"AA", "%BB%%BB%"}, {"BB", "%CC%-%CC%"}, {"CC", "c"},
                                     {longName, "short"}, {"BIG", longValue}});
    for (int i = 0; i < 500; ++i) table.AddEntry("L" + std::to_string(i), "", "%L" + std::to_string(i + 1) + "%.");
    table.AddEntry("L500", "", "end");
    test::BoxRecorder boxes;
    const std::string filler(100000, 'b');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"%AA% %AA% %CC%", "c-cc-c c-cc-c c"},  // the same variable twice is no self-reference
        {"%L0%", "end" + std::string(500, '.')},
        {filler + "%" + longName + "%" + filler + "%BIG%", filler + "short" + filler + longValue},
    };
    for (const auto& [in, out] : cases) {
        std::string text = in;
        EXPECT_EQ(table.ExpandVariables(text, false), 1);
        EXPECT_TRUE(text == out) << in.substr(0, 40);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

// The memory of the reading is bounded: one expanded text, and what all the
// reported expansions of a table add together. The silent look-ahead holds
// nothing and is not counted.
TEST(ExpandVariables, ExpandedTextsAreBounded) {
    const size_t piece = kMaxExpandedText / 2;
    VariableTable table =
        MakeTable({{"HALF", std::string(piece + 1, 'h')}, {"WHOLE", std::string(kMaxExpandedText, 'w')}});
    test::BoxRecorder boxes;
    std::string text = "%HALF%%HALF%";  // two characters too many
    EXPECT_EQ(table.ExpandVariables(text, false), 0);
    text = "%WHOLE%";
    EXPECT_EQ(table.ExpandVariables(text, false), 1);
    EXPECT_EQ(text.size(), kMaxExpandedText);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0], "|Variable value is too long HALF.|0");

    // Each "%HALF%" adds piece - 6 characters: the reading's bound is reached
    // after as many lines as fit in it, well before memory runs out.
    VariableTable lines = MakeTable({{"HALF", std::string(piece, 'h')}});
    const size_t added = piece - 6;
    size_t expanded = 0;
    for (;;) {
        std::string line = "%HALF%";
        if (!lines.ExpandVariables(line, false)) break;
        ASSERT_EQ(line.size(), piece);
        ++expanded;
    }
    EXPECT_EQ(expanded, kMaxExpansionGrowth / added);
    EXPECT_EQ(boxes.boxes.size(), 2u);
    std::string ahead = "%HALF%";
    EXPECT_EQ(lines.ExpandWithoutReport(ahead), 1);
    EXPECT_EQ(ahead.size(), piece);

    // [Strings] values count alike: hundreds of copies of a large value end
    // the section with the message.
    VariableTable strings = MakeTable({{"BIG", std::string(3u << 20, 'b')}});
    std::string section;
    for (int i = 0; i < 600; ++i) section += "V" + std::to_string(i) + "=%BIG%\r\n";
    test::BoxRecorder stringBoxes;
    EXPECT_EQ(strings.ParseStringsSection(section), 0);
    EXPECT_LT(strings.count(), kPredefinedCount + 1 + 30);
    ASSERT_EQ(stringBoxes.boxes.size(), 1u);
    EXPECT_EQ(stringBoxes.boxes[0], "|Variable value is too long BIG.|0");
}

TEST(VariableTable, LookupAndPredefinedFolders) {
    VariableTable table = MakeTable({{"windows_path", "mine"}, {"Dup", "first"}, {"DUP", "second"}});
    EXPECT_EQ(*table.FindValue("WINDOWS_PATH"), "C:\\WINDOWS\\");  // the first entry wins
    EXPECT_EQ(*table.FindValue("dup"), "first");
    EXPECT_EQ(table.FindValue("missing"), nullptr);
    EXPECT_EQ(table.IsPredefinedFolder("c:\\windows\\"), 1);
    EXPECT_EQ(table.IsPredefinedFolder("C:\\F14\\"), 1);
    EXPECT_EQ(table.IsPredefinedFolder("C:\\WINDOWS"), 0);  // the final backslash counts
    EXPECT_EQ(table.IsPredefinedFolder("first"), 0);        // [Strings] entries do not
}

// A 64-bit run takes the 64-bit Program Files for PROGRAM_FILES_PATH and
// names the 64-bit system folder by the system folder's real name; every
// other entry, and the 32-bit folders, stay.
TEST(VariableTable, SixtyFourBitFolders) {
    VariableTable table = MakeTable({{"APP", "%PROGRAM_FILES_PATH%App"}});
    table.values[kWindowsSystemEntry] = "C:\\W\\System32\\";
    table.values[kProgramFilesEntry] = "C:\\Program Files (x86)\\";
    table.values[kProgramFilesX86Entry] = "C:\\Program Files (x86)\\";
    table.values[kProgramFilesX64Entry] = "C:\\Program Files\\";
    table.values[kWindowsSystemX86Entry] = "C:\\W\\SysWOW64\\";
    table.values[kWindowsSystemX64Entry] = "C:\\W\\Sysnative\\";
    const std::vector<std::string> before = table.values;
    table.UseSixtyFourBitFolders();
    std::vector<std::string> want = before;
    want[kProgramFilesEntry] = "C:\\Program Files\\";
    want[kWindowsSystemX64Entry] = "C:\\W\\System32\\";
    EXPECT_EQ(table.values, want);
    std::string text = "%PROGRAM_FILES_PATH%App|%PROGRAM_FILES_X86_PATH%|%WINDOWS_SYSTEM_X64_PATH%";
    EXPECT_EQ(table.ExpandVariables(text, false), 1);
    EXPECT_EQ(text, "C:\\Program Files\\App|C:\\Program Files (x86)\\|C:\\W\\System32\\");
    // Every new folder is a predefined one (a directory deletion leaves it).
    EXPECT_EQ(table.IsPredefinedFolder("c:\\w\\syswow64\\"), 1);

    VariableTable empty;
    empty.UseSixtyFourBitFolders();  // no predefined entries: nothing to take
    EXPECT_EQ(empty.count(), 0);
}

TEST(StringsSection, EntriesInLineOrderAndFailures) {
    test::BoxRecorder boxes;
    VariableTable table = MakeTable();
    EXPECT_EQ(table.ParseStringsSection("BB = x\r\nAA=%BB%y\r\n  C  =  %WINDOWS_PATH%Fonts  \r\n\tT=1"), 1);
    EXPECT_EQ(*table.FindValue("AA"), "xy");
    EXPECT_EQ(*table.FindValue("C"), "C:\\WINDOWS\\Fonts");
    EXPECT_EQ(table.definitions[kPredefinedCount + 2], "%WINDOWS_PATH%Fonts");
    EXPECT_EQ(*table.FindValue("\tT"), "1");  // tabs are not trimmed
    EXPECT_EQ(table.ParseStringsSection("AA=%AA%+"), 1);  // an earlier entry of the same name
    EXPECT_EQ(table.values.back(), "xy+");
    EXPECT_TRUE(boxes.boxes.empty());

    const struct {
        std::string section;
        int stored;  // entries added before the failure
        std::string box;
    } failures[] = {
        {"AA=%BB%\nBB=x", 1, "|Undefined variable BB.|0"},  // defined later: too late
        {"AA=1\nno equals sign\nBB=2", 1, ""},               // the reader reports the section
        {"SELF=x%SELF%", 1, "|Variable refers to itself SELF.|0"},
    };
    for (const auto& c : failures) {
        test::BoxRecorder failed;
        VariableTable t = MakeTable();
        EXPECT_EQ(t.ParseStringsSection(c.section), 0) << c.section;
        EXPECT_EQ(t.count(), kPredefinedCount + c.stored) << c.section;
        EXPECT_EQ(failed.boxes, c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
    }
}

TEST(StringsSection, ShowsEachNameAndHonoursAStop) {
    {
        test::ProgressRecorder sink;
        VariableTable table = MakeTable();
        EXPECT_EQ(table.ParseStringsSection("A=1\nB=2"), 1);
        EXPECT_EQ(sink.events, (std::vector<std::string>{"0:A", "1/2", "0:B", "2/2", "0/2"}));
    }
    test::ProgressRecorder sink(2);
    VariableTable table = MakeTable();
    EXPECT_EQ(table.ParseStringsSection("A=1\nB=2\nC=3"), 0);
    EXPECT_EQ(table.count(), kPredefinedCount + 1);  // B is not added
    stopRequested = 1;  // a Stop already confirmed fails even an empty section
    EXPECT_EQ(table.ParseStringsSection(""), 0);
    stopRequested = 0;
}

TEST(ShellVersion, MajorAndMinorFromTheVersionText) {
    const std::vector<std::tuple<std::string, int, int>> cases = {
        {"6.0.2900.2180", 6, 0}, {"5.81.4916.400 (built)", 5, 81}, {" 4.72.3110", 4, 72}, {"5", -1, -1},
    };
    for (const auto& [text, major, minor] : cases) {
        int mi = -1, ma = -1;
        ParseMajorMinor(text, mi, ma);
        EXPECT_EQ(std::make_pair(ma, mi), std::make_pair(major, minor)) << text;
    }
}

}  // namespace
}  // namespace dp
