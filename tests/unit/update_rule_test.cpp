#include "items/files/update_rule.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

FileFacts Versioned(uint32_t ms, uint32_t ls, uint64_t time = 100) {
    FileFacts f;
    f.factsOk = 1;
    f.hasVersion = 1;
    f.versionMS = ms;
    f.versionLS = ls;
    f.lastWriteTime = time;
    return f;
}

FileFacts Plain(uint64_t time) {
    FileFacts f;
    f.factsOk = 1;
    f.lastWriteTime = time;
    return f;
}

FileFacts Unreadable() { return FileFacts{}; }

struct RuleCase {
    const char* name;
    uint8_t sourceExists, targetExists, always;
    FileFacts target, source;
    int expected;
};

TEST(NeedsUpdate, RulesInOrder) {
    const RuleCase cases[] = {
        {"missing source, even always", 0, 1, 1, Plain(1), Plain(9), 0},
        {"missing source and target", 0, 0, 0, FileFacts{}, FileFacts{}, 0},
        {"missing target, unversioned source", 1, 0, 0, FileFacts{}, Plain(1), 1},
        {"missing target, unreadable source", 1, 0, 0, FileFacts{}, Unreadable(), 1},
        {"unreadable target, even always", 1, 1, 1, Unreadable(), Versioned(9, 9), 0},
        {"unreadable source, even always", 1, 1, 1, Versioned(1, 0), Unreadable(), 0},
        {"always over an older source", 1, 1, 1, Versioned(9, 0), Versioned(1, 0), 1},
        {"always over unversioned equal times", 1, 1, 1, Plain(5), Plain(5), 1},
        {"versioned over unversioned", 1, 1, 0, Plain(999), Versioned(0, 0, 1), 1},
        {"higher MS", 1, 1, 0, Versioned(1, 9), Versioned(2, 0), 1},
        {"lower MS, higher LS", 1, 1, 0, Versioned(2, 0), Versioned(1, 9), 0},
        {"equal MS, higher LS", 1, 1, 0, Versioned(1, 1), Versioned(1, 2), 1},
        {"equal MS, lower LS", 1, 1, 0, Versioned(1, 2), Versioned(1, 1), 0},
        {"equal versions, newer by date", 1, 1, 0, Versioned(3, 4, 1), Versioned(3, 4, 9), 0},
        {"MS compared unsigned", 1, 1, 0, Versioned(0x7fffffff, 0), Versioned(0x80000000, 0), 1},
        {"LS compared unsigned", 1, 1, 0, Versioned(1, 0x7fffffff), Versioned(1, 0xffffffff), 1},
        {"unversioned over versioned, newer", 1, 1, 0, Versioned(1, 0, 1), Plain(999), 0},
        {"unversioned, source later", 1, 1, 0, Plain(5), Plain(6), 1},
        {"unversioned, source earlier", 1, 1, 0, Plain(6), Plain(5), 0},
        {"unversioned, equal times", 1, 1, 0, Plain(5), Plain(5), 0},
        {"times compared as 64 bits", 1, 1, 0, Plain(0xffffffffULL), Plain(0x100000000ULL), 1},
    };
    for (const RuleCase& c : cases) {
        FileItem item;
        item.sourceExists = c.sourceExists;
        item.targetExists = c.targetExists;
        item.always = c.always;
        EXPECT_EQ(NeedsUpdate(item, c.target, c.source), c.expected) << c.name;
    }
}

TEST(FileTexts, DateFromUtcFileTime) {
    const struct {
        uint64_t fileTime;
        const char* text;
    } cases[] = {
        {0, "1.1.1601"},
        {128097936000000000ULL, "5.12.2006"},  // noon, 5 December 2006
        {125962560000000000ULL, "29.2.2000"},
        {125911583999999999ULL, "31.12.1999"},  // last tick of 1999
        {157520159999999999ULL, "28.2.2100"},   // 2100 is no leap year
        {157520160000000000ULL, "1.3.2100"},
        {116444736000000000ULL, "1.1.1970"},
        {0x7fffffffffffffffULL, "14.9.30828"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFileDate(c.fileTime), c.text) << c.fileTime;
}

TEST(FileTexts, SizeAndDetails) {
    EXPECT_EQ(FormatFileSize(0), "0");
    EXPECT_EQ(FormatFileSize(5368709125ULL), "5368709125");
    EXPECT_EQ(FormatFileDetails("1024", "5.12.2006"), "1024; 5.12.2006");
}

TEST(InstallLine, SplitsAtFirstEqualsThenFirstComma) {
    const struct {
        const char* line;
        bool ok;
        const char* target;
        const char* source;
        const char* options;
        bool always;
    } cases[] = {
        {"a.dll=b.dll", true, "a.dll", "b.dll", "", false},
        {" C:\\t\\a.dll = pkg\\a.dll , Always ", true, " C:\\t\\a.dll ", " pkg\\a.dll ", " Always ", true},
        {"a=b=c,d,e", true, "a", "b=c", "d,e", false},
        {"a=b,NotAlways", true, "a", "b", "NotAlways", true},
        {"a=b,always", true, "a", "b", "always", false},
        {"a=Always", true, "a", "Always", "", false},  // only the options count
        {"a=,", true, "a", "", "", false},
        {"=", true, "", "", "", false},
        {"a.dll", false, "", "", "", false},
        {"a,Always", false, "", "", "", false},
    };
    for (const auto& c : cases) {
        InstallLine parts;
        ASSERT_EQ(SplitInstallLine(c.line, parts), c.ok) << c.line;
        if (!c.ok) continue;
        EXPECT_EQ(parts.target, c.target) << c.line;
        EXPECT_EQ(parts.source, c.source) << c.line;
        EXPECT_EQ(parts.options, c.options) << c.line;
        EXPECT_EQ(parts.always, c.always) << c.line;
    }
}

TEST(InstallLine, TrimAndPathCompletion) {
    std::string field = " \r\n\tname.dll \r\n";
    EXPECT_EQ(TrimFileField(field), "\tname.dll");  // tabs stay
    std::string blank = " \r\n ";
    EXPECT_EQ(TrimFileField(blank), "");

    EXPECT_EQ(CompleteFilePath("a.dll", "C:\\prog\\"), "C:\\prog\\a.dll");
    EXPECT_EQ(CompleteFilePath("sub\\a.dll", "C:\\prog\\"), "sub\\a.dll");
    EXPECT_EQ(CompleteFilePath("D:/x/a.dll", "C:\\prog\\"), "C:\\prog\\D:/x/a.dll");
    EXPECT_EQ(FileNamePart("C:\\a\\b.dll"), "b.dll");
    EXPECT_EQ(FileNamePart("C:\\a\\"), "");
    EXPECT_EQ(FileNamePart("b.dll"), "b.dll");
}

}  // namespace
}  // namespace dp
