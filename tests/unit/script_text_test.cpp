#include "script/script_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "script/reporting_base.h"

namespace dp {
namespace {

// The removals exactly as the script format describes them (repeat from the
// start until nothing is left), to hold the one-pass versions against.
std::string NaiveRemoveComments(std::string text) {
    for (;;) {
        size_t semi = text.find(';');
        if (semi == std::string::npos) return text;
        size_t lf = text.find('\n', semi);
        std::string rest = lf == std::string::npos ? std::string() : text.substr(lf + 1);
        text = text.substr(0, semi) + rest;
    }
}

std::string NaiveRemoveEmptyLines(std::string text) {
    for (;;) {
        size_t at = text.find("\r\n\r\n");
        if (at == std::string::npos) return text;
        text.replace(at, 4, "\r\n");
    }
}

std::string Comments(std::string text) {
    RemoveComments(text);
    return text;
}

std::string EmptyLines(std::string text) {
    RemoveEmptyLines(text);
    return text;
}

TEST(Comments, RemovalRules) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a\r\n;whole line\r\nb\r\n", "a\r\nb\r\n"},
        // Text before the ";" is joined to the following line.
        {"KEY=v ;remark\r\nNEXT=1\r\n", "KEY=v NEXT=1\r\n"},
        // A ";" without a line feed after it cuts off the rest.
        {"a\r\nb;no end", "a\r\nb"},
        {";;;", ""},
        {"a;x\nb;y\nc", "abc"},
        {"no comment\r\n", "no comment\r\n"},
        // The line feed itself goes; a carriage return before it stays in the comment.
        {"a;\r\nb", "ab"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Comments(c.in), c.out) << c.in;
}

TEST(EmptyLines, OnlyCrLfPairsCollapse) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a\r\n\r\n\r\nb", "a\r\nb"},
        {"\r\n\r\na", "\r\na"},
        {"a\n\nb", "a\n\nb"},          // LF-only line ends are left alone
        {"a\r\rb", "a\r\rb"},          // CR-only too
        {"a\r\n \r\nb", "a\r\n \r\nb"},  // a blank line is not empty
        {"a\r\n\r\n", "a\r\n"},
        {"\r\n\r\n\r\n\r\n", "\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(EmptyLines(c.in), c.out) << c.in;
}

TEST(TextPipeline, OnePassMatchesRepeatedRemovalOnRandomText) {
    // Few distinct characters so that comments, line ends and runs of them
    // meet in every combination.
    const char alphabet[] = {';', '\r', '\n', 'a', '[', ' '};
    std::mt19937 rng(12345);
    for (int round = 0; round < 20000; ++round) {
        std::string text(rng() % 24, 'a');
        for (char& c : text) c = alphabet[rng() % sizeof alphabet];
        ASSERT_EQ(Comments(text), NaiveRemoveComments(text)) << round;
        ASSERT_EQ(EmptyLines(text), NaiveRemoveEmptyLines(text)) << round;
    }
}

TEST(TextPipeline, ZeroByteEndsTheText) {
    EXPECT_EQ(ScriptTextFromBytes(std::string("[Parameters]\r\n\0[Strings]", 25)),
              "[Parameters]\r\n");
    EXPECT_EQ(ScriptTextFromBytes(std::string("\0abc", 4)), "");
    EXPECT_EQ(ScriptTextFromBytes("plain"), "plain");
}

TEST(TextPipeline, LongLineAndManyLinesStayIntact) {
    std::string longLine(100000, 'x');
    std::string text = "[InstallFiles]\r\n" + longLine + "\r\n\r\n[RunFileEnd]\r\nrun.exe";
    RemoveComments(text);
    RemoveEmptyLines(text);
    std::string section;
    ASSERT_TRUE(FindSectionText(text, "[InstallFiles]", section));
    EXPECT_EQ(section, longLine);
}

std::string Section(const std::string& text, const char* header, bool* found = nullptr) {
    std::string section = "garbage";
    bool f = FindSectionText(text, header, section);
    if (found) *found = f;
    return section;
}

TEST(Sections, CuttingRules) {
    const std::string text =
        "[Parameters]\r\nLOGLEVEL=FULL\r\n"
        "[InstallRegEntries]\r\n[HKEY_LOCAL_MACHINE\\Software\\X]\r\n\"a\"=\"b\"\r\n"
        "[Strings]\r\nA=x[1]\r\n"
        "[Parameters]\r\nLOGLEVEL=NONE\r\n";
    // The first occurrence counts; the section ends at the next header.
    EXPECT_EQ(Section(text, "[Parameters]"), "LOGLEVEL=FULL");
    // "[HKEY_" does not end a section.
    EXPECT_EQ(Section(text, "[InstallRegEntries]"),
              "[HKEY_LOCAL_MACHINE\\Software\\X]\r\n\"a\"=\"b\"");
    // Any other "[" does, even inside a value.
    EXPECT_EQ(Section(text, "[Strings]"), "A=x");
    // Headers are case-sensitive; a missing one gives an empty section.
    bool found = true;
    EXPECT_EQ(Section(text, "[strings]", &found), "");
    EXPECT_FALSE(found);
    // A header at the very end gives an empty, found section.
    EXPECT_EQ(Section("x\r\n[RunFileEnd]", "[RunFileEnd]", &found), "");
    EXPECT_TRUE(found);
    // "[HKEY" cut short at the end of the text ends the section; "[HKEY_" does not.
    EXPECT_EQ(Section("[Strings]\r\nA=1\r\n[HKEY", "[Strings]"), "A=1");
    EXPECT_EQ(Section("[Strings]\r\nA=1\r\n[HKEY_", "[Strings]"), "A=1\r\n[HKEY_");
}

TEST(Sections, TrimKeepsALeadingTab) {
    EXPECT_EQ(Section("[Strings]\r\n\t A=1 \t\r\n", "[Strings]"), "\t A=1");
}

class RecordingReporter : public ReportingBase {};

class RecordingSink : public ProgressSink {
public:
    void ShowProgressLine(const std::string& text, int kind) override {
        lines.push_back(std::to_string(kind) + ":" + text);
    }
    void PollStop(int, int, int32_t&) override {}
    std::vector<std::string> lines;
};

TEST(Sections, ExtractShowsOnlyFoundHeaders) {
    RecordingSink sink;
    SetProgressSink(&sink);
    RecordingReporter reporter;
    std::string section;
    EXPECT_TRUE(ExtractSection(reporter, "[Strings]", section, "[Strings]\r\nA=1"));
    EXPECT_EQ(section, "A=1");
    EXPECT_FALSE(ExtractSection(reporter, "[InstallFiles]", section, "[Strings]\r\nA=1"));
    EXPECT_EQ(section, "");
    SetProgressSink(nullptr);
    EXPECT_EQ(sink.lines, std::vector<std::string>{"1:[Strings]"});
}

TEST(Trims, EachSetAtEachEnd) {
    struct Case {
        std::string& (*trim)(std::string&);
        const char* in;
        const char* out;
    } cases[] = {
        {SectionTrim, " \r\n\tx\t \r\n", "\tx"},
        {SectionTrim, "\r\n \t", ""},
        {VariableTrim, " \r\n x \r\n", "x"},
        {VariableTrim, "\tx\t", "\tx\t"},
        {FontSubstituteTrim, "\t\" Arial \"\t\r\n", "Arial"},
        {FontSubstituteTrim, "\"\"", ""},
        {RegFileTrim, "\t \"a\"=\"b\" \t\r\n", "\"a\"=\"b\""},
        {RegFileTrim, "", ""},
    };
    for (const Case& c : cases) {
        std::string text = c.in;
        EXPECT_EQ(c.trim(text), c.out) << c.in;
        EXPECT_EQ(&c.trim(text), &text);
    }
}

TEST(Numbers, ReadLikeAtoi) {
    struct Case {
        const char* in;
        int32_t out;
    } cases[] = {
        {"100", 100},        {"  \t42kb", 42},   {"abc", 0},
        {"", 0},             {"-7", -7},         {"+7", 7},
        {"\r\n12", 12},      {"1 2", 1},         {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},       {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseDecimal(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace dp
