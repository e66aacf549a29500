#include "base/text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/file_text.h"
#include "base/parallel.h"
#include "base/reporting_base.h"
#include "script/script_text.h"
#include "support/recorders.h"

namespace dp {
namespace {

TEST(Text, LinesTrimsAndPercent) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(SplitLines(""), V{""});
    EXPECT_EQ(SplitLines("a\r\nb\n\nc"), (V{"a\r", "b", "", "c"}));
    EXPECT_EQ(SplitLines("x\n"), (V{"x", ""}));
    EXPECT_EQ(CountLines("a\nb\n"), 3);

    std::string t = " \r\n\tx y\t \n";
    EXPECT_EQ(TrimChars(t, " \n", " \r\n"), "\tx y\t");  // each end has its own set
    EXPECT_EQ(TrimView("\"\" q \"", "\" "), "q");

    EXPECT_TRUE(EqualNoCase("Program_Files", "PROGRAM_files"));
    EXPECT_FALSE(EqualNoCase("a", "ab"));

    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 3), 66);
    EXPECT_EQ(ProgressPercent(5, 0, 42), 42);  // no total: the bar stays
    EXPECT_EQ(ProgressPercent(2000000000, 2000000001), 99);  // no overflow in done * 100
}

TEST(ParallelFor, EveryIndexExactlyOnce) {
    for (size_t count : {0u, 1u, 3u, 1000u})
        for (unsigned threads : {0u, 1u, 4u, 64u}) {
            std::vector<std::atomic<int>> calls(count);
            ParallelFor(count, threads, [&](size_t i) { ++calls[i]; });
            for (size_t i = 0; i < count; ++i) ASSERT_EQ(calls[i].load(), 1) << count << " " << threads << " " << i;
        }
    // A call that throws stops the rest from starting (each takes a while,
    // so all of them would take minutes); the caller gets the exception.
    std::atomic<int> started{0};
    EXPECT_THROW(ParallelFor(100000, 4,
                             [&](size_t i) {
                                 ++started;
                                 if (i == 10) throw std::runtime_error("x");
                                 std::this_thread::sleep_for(std::chrono::milliseconds(2));
                             }),
                 std::runtime_error);
    EXPECT_LT(started.load(), 2000);
}

TEST(Text, LastBackslashSkipsSecondBytesOfDoubleByteCharacters) {
    auto shiftJisLead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc); };
    auto none = [](unsigned char) { return false; };
    const std::string path = "C:\\Fonts\\\x95\\.ttf";  // the character 0x95 0x5C ends the name
    EXPECT_EQ(FindLastBackslash(path, shiftJisLead), 8u);
    EXPECT_EQ(FindLastBackslash(path, none), 10u);
    EXPECT_EQ(FindLastBackslash("name\\\x81", shiftJisLead), 4u);  // a lead byte at the end stays alone
    EXPECT_EQ(FindLastBackslash("no folder", none), std::string_view::npos);
}

// The one-pass removals are also held against the repeated removal the
// format describes by fuzz/script_text.cpp.
TEST(ScriptText, CommentsAndEmptyLines) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"a\r\n;whole line\r\nb\r\n", "a\r\nb\r\n"},
        {"KEY=v ;remark\r\nNEXT=1\r\n", "KEY=v NEXT=1\r\n"},  // joined to the next line
        {"a\r\nb;no end", "a\r\nb"},
        {";;;", ""},
        {"a;\r\nb", "ab"},  // a carriage return before the line feed is part of the comment
        {"a\r\n\r\n\r\nb\r\n\r\n", "a\r\nb\r\n"},
        {"\r\n\r\n\r\n\r\na", "\r\na"},
        {"a\n\nb\r\rc\r\n \r\nd", "a\n\nb\r\rc\r\n \r\nd"},  // only CR LF pairs; blank is not empty
        {"a;x\n\r\n\r\nb", "a\r\nb"},  // comments go first
    };
    for (const auto& c : cases) {
        std::string text = c.in;
        RemoveComments(text);
        RemoveEmptyLines(text);
        EXPECT_EQ(text, c.out) << c.in;
    }
    EXPECT_EQ(ScriptTextFromBytes(std::string("[Parameters]\r\n\0[Strings]", 25)), "[Parameters]\r\n");
}

// Bytes without a byte-order mark are the text; after a mark the Unicode
// text is decoded and must be valid and fit the system code page (ASCII in
// the native stand-in, a Western code page under Wine: "\u4E2D" fits neither).
TEST(FileText, ByteOrderMarksAndWhatTheyAnnounce) {
    using E = FileTextError;
    const std::string zero(1, '\0');
    const struct {
        std::string bytes;
        E error;
        std::string text;
    } cases[] = {
        {"[InstallFiles]\r\nx=y", E::kNone, "[InstallFiles]\r\nx=y"},
        {"\xE9t\xE9" + zero + "\xFF", E::kNone, "\xE9t\xE9" + zero + "\xFF"},  // no mark: bytes as they are
        {"\xEF\xBB\xBF[Strings]\r\n", E::kNone, "[Strings]\r\n"},
        {"\xFF\xFE[" + zero + "A" + zero + "]" + zero + "\r" + zero + "\n" + zero, E::kNone, "[A]\r\n"},
        {"\xFE\xFF" + zero + "[" + zero + "A" + zero + "]", E::kNone, "[A]"},
        {"\xFF\xFE", E::kNone, ""},
        {"\xFF\xFE" "A" + zero + zero + zero + "B" + zero, E::kNone, "A" + zero + "B"},  // U+0000 is a zero byte
        // Not valid after the mark.
        {"\xFF\xFE" "A" + zero + "B", E::kBadUnicode, ""},              // an odd byte count
        {"\xFF\xFE" + zero + "\xD8" "A" + zero, E::kBadUnicode, ""},    // a high surrogate alone
        {"\xFE\xFF\xDC" + zero, E::kBadUnicode, ""},                     // a low surrogate alone
        {"\xEF\xBB\xBF\xC0\x80", E::kBadUnicode, ""},                 // an overlong zero
        {"\xEF\xBB\xBF\xED\xA0\x80", E::kBadUnicode, ""},            // a surrogate in UTF-8
        {"\xEF\xBB\xBFx\xE2\x82", E::kBadUnicode, ""},                // a cut sequence
        {"\xEF\xBB\xBF\xF4\x90\x80\x80", E::kBadUnicode, ""},       // beyond U+10FFFF
        {"\xEF\xBB\xBF\x80", E::kBadUnicode, ""},
        // Valid, but not in the code page.
        {"\xEF\xBB\xBF[A]\xE4\xB8\xAD", E::kNotInCodePage, ""},
        {"\xFF\xFE\x2D\x4E", E::kNotInCodePage, ""},
        {"\xFE\xFF\xD8\x3D\xDE" + zero, E::kNotInCodePage, ""},     // a pair: U+1F600
    };
    for (const auto& c : cases) {
        std::string text = "old";
        EXPECT_EQ(TextFromFileBytes(c.bytes, text), c.error) << c.bytes;
        EXPECT_EQ(text, c.text) << c.bytes;
    }
    std::u16string wide;
    ASSERT_TRUE(Utf8ToUtf16("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", wide));
    EXPECT_EQ(wide, (std::u16string{u'a', 0xE9, 0x4E2D, 0xD83D, 0xDE00}));
}

std::string Section(const std::string& text, const char* header, bool* found = nullptr) {
    std::string section = "garbage";
    bool f = FindSectionText(text, header, section);
    if (found) *found = f;
    return section;
}

TEST(ScriptText, SectionCutting) {
    const std::string text =
        "[Parameters]\r\nLOGLEVEL=FULL\r\n"
        "[InstallRegEntries]\r\n[HKEY_LOCAL_MACHINE\\Software\\X]\r\n\"a\"=\"b\"\r\n"
        "[Strings]\r\n\t A=x[1]\r\n"
        "[Parameters]\r\nLOGLEVEL=NONE\r\n";
    EXPECT_EQ(Section(text, "[Parameters]"), "LOGLEVEL=FULL");  // the first one counts
    EXPECT_EQ(Section(text, "[InstallRegEntries]"), "[HKEY_LOCAL_MACHINE\\Software\\X]\r\n\"a\"=\"b\"");
    EXPECT_EQ(Section(text, "[Strings]"), "\t A=x");  // any other "[" ends it; a tab stays
    bool found = true;
    EXPECT_EQ(Section(text, "[strings]", &found), "");  // headers are case-sensitive
    EXPECT_FALSE(found);
    EXPECT_EQ(Section("x\r\n[RunFileEnd]", "[RunFileEnd]", &found), "");
    EXPECT_TRUE(found);
    EXPECT_EQ(Section("[Strings]\r\nA=1\r\n[HKEY", "[Strings]"), "A=1");
    EXPECT_EQ(Section("[Strings]\r\nA=1\r\n[HKEY_", "[Strings]"), "A=1\r\n[HKEY_");

    const std::string longLine(100000, 'x');
    EXPECT_EQ(Section("[InstallFiles]\r\n" + longLine + "\r\n[RunFileEnd]", "[InstallFiles]"), longLine);
}

TEST(ScriptText, ExtractShowsOnlyFoundHeaders) {
    ReportingBase reporter;
    test::ProgressRecorder sink;
    std::string section;
    EXPECT_TRUE(ExtractSection(reporter, "[Strings]", section, "[Strings]\r\nA=1"));
    EXPECT_EQ(section, "A=1");
    EXPECT_FALSE(ExtractSection(reporter, "[InstallFiles]", section, "[Strings]\r\nA=1"));
    EXPECT_EQ(section, "");
    EXPECT_EQ(sink.events, std::vector<std::string>{"1:[Strings]"});
}

// Taking a large section out of the text leaves every other section (and its
// own header, and a second copy of it) found as before; a small one stays.
TEST(ScriptText, TakenSectionsLeaveTheOthersAsTheyWere) {
    ReportingBase reporter;
    std::string big;
    for (int i = 0; big.size() < kTakenSectionSize; ++i) big += "C:\\t\\f" + std::to_string(i) + "=[HKEY_x]\r\n";
    const std::string text = "[Parameters]\r\nLOGLEVEL=FULL\r\n[InstallFiles]\r\n" + big +
                             "[Strings]\r\nA=1\r\n[InstallFiles]\r\nsecond\r\n[RunFileEnd]\r\nx=y";
    const char* headers[] = {"[InstallFiles]", "[Parameters]", "[Strings]", "[RunFileEnd]", "[DeleteFilesEnd]"};
    std::string taken = text;
    for (const char* header : headers) {
        SCOPED_TRACE(header);
        std::string expected, section;
        const bool found = FindSectionText(text, header, expected);
        EXPECT_EQ(TakeSection(reporter, header, section, taken), found);
        EXPECT_EQ(section, expected);
        if (std::string(header) == "[InstallFiles]") EXPECT_LT(taken.size(), 200u);
    }
    // Only the large body went.
    std::string again;
    EXPECT_TRUE(FindSectionText(taken, "[InstallFiles]", again));
    EXPECT_EQ(again, "");
    EXPECT_EQ(taken, "[Parameters]\r\nLOGLEVEL=FULL\r\n[InstallFiles][Strings]\r\nA=1\r\n[InstallFiles]\r\nsecond\r\n"
                     "[RunFileEnd]\r\nx=y");
}

TEST(ScriptText, TrimsAndNumbers) {
    const struct {
        std::string& (*trim)(std::string&);
        std::string in, out;
    } trims[] = {
        {SectionTrim, " \r\n\tx\t \r\n", "\tx"},
        {VariableTrim, " \r\n\tx\t \r\n", "\tx\t"},
        {FontSubstituteTrim, "\t\" Arial \"\t\r\n", "Arial"},
        {RegFileTrim, "\t \"a\"=\"b\" \t\r\n", "\"a\"=\"b\""},
        {RegFileTrim, "\r\n \t", ""},
    };
    for (const auto& c : trims) {
        std::string text = c.in;
        EXPECT_EQ(c.trim(text), c.out) << c.in;
    }
    const struct {
        const char* in;
        int32_t out;
    } numbers[] = {
        {"  \t42kb", 42}, {"abc", 0},      {"-7", -7},   {"+7", 7}, {"\r\n12", 12},
        {"1 2", 1},       {"99999999999", 2147483647},   {"-99999999999", -2147483647 - 1},
    };
    for (const auto& c : numbers) EXPECT_EQ(ParseDecimal(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace dp
