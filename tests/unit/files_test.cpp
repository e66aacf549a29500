#include "items/files/update_rule.h"

#include <gtest/gtest.h>

#include "items/files/wininit_edit.h"
#include "script/script_text.h"

namespace dp {
namespace {

FileFacts Plain(uint64_t time) {
    FileFacts f;
    f.factsOk = 1;
    f.lastWriteTime = time;
    return f;
}
FileFacts Versioned(uint32_t ms, uint32_t ls, uint64_t time = 100) {
    FileFacts f = Plain(time);
    f.hasVersion = 1;
    f.versionMS = ms;
    f.versionLS = ls;
    return f;
}
FileFacts Unreadable() { return FileFacts{}; }

TEST(NeedsUpdate, RulesInOrder) {
    const struct {
        const char* name;
        uint8_t sourceExists, targetExists, always;
        FileFacts target, source;
        UpdateRule expected;
    } cases[] = {
        {"missing source, even always", 0, 1, 1, Plain(1), Plain(9), UpdateRule::SourceMissing},
        {"missing target, unversioned source", 1, 0, 0, FileFacts{}, Plain(1), UpdateRule::TargetMissing},
        {"missing target, unreadable source", 1, 0, 0, FileFacts{}, Unreadable(), UpdateRule::TargetMissing},
        {"unreadable target, even always", 1, 1, 1, Unreadable(), Versioned(9, 9), UpdateRule::FactsUnreadable},
        {"unreadable source, even always", 1, 1, 1, Versioned(1, 0), Unreadable(), UpdateRule::FactsUnreadable},
        {"always over an older source", 1, 1, 1, Versioned(9, 0), Versioned(1, 0), UpdateRule::Always},
        {"always over unversioned equal times", 1, 1, 1, Plain(5), Plain(5), UpdateRule::Always},
        {"versioned over unversioned", 1, 1, 0, Plain(999), Versioned(0, 0, 1), UpdateRule::TargetWithoutVersion},
        {"higher MS", 1, 1, 0, Versioned(1, 9), Versioned(2, 0), UpdateRule::HigherVersion},
        {"lower MS, higher LS", 1, 1, 0, Versioned(2, 0), Versioned(1, 9), UpdateRule::SameOrOlder},
        {"equal MS, higher LS", 1, 1, 0, Versioned(1, 1), Versioned(1, 2), UpdateRule::HigherVersion},
        {"equal MS, lower LS", 1, 1, 0, Versioned(1, 2), Versioned(1, 1), UpdateRule::SameOrOlder},
        {"equal versions, newer by date", 1, 1, 0, Versioned(3, 4, 1), Versioned(3, 4, 9), UpdateRule::SameOrOlder},
        {"MS compared unsigned", 1, 1, 0, Versioned(0x7fffffff, 0), Versioned(0x80000000, 0), UpdateRule::HigherVersion},
        {"LS compared unsigned", 1, 1, 0, Versioned(1, 0x7fffffff), Versioned(1, 0xffffffff), UpdateRule::HigherVersion},
        {"unversioned over versioned, newer", 1, 1, 0, Versioned(1, 0, 1), Plain(999), UpdateRule::SameOrOlder},
        {"unversioned, source later", 1, 1, 0, Plain(5), Plain(6), UpdateRule::NewerDate},
        {"unversioned, equal times", 1, 1, 0, Plain(5), Plain(5), UpdateRule::SameOrOlder},
        {"times compared as 64 bits", 1, 1, 0, Plain(0xffffffffULL), Plain(0x100000000ULL), UpdateRule::NewerDate},
    };
    for (const auto& c : cases) {
        FileItem item;
        item.sourceExists = c.sourceExists;
        item.targetExists = c.targetExists;
        item.always = c.always;
        EXPECT_EQ(DecideUpdate(item, c.target, c.source), c.expected) << c.name;
    }
}

// A quiet run does not open an installed file when the package file alone
// decides to keep it: whatever the installed file's facts, the full decision
// must keep it too, and every case the shortcut leaves to the full decision
// must really depend on them.
TEST(NeedsUpdate, KeptWhateverTargetFactsAgreesWithTheFullDecision) {
    const struct {
        uint8_t sourceExists, targetExists, always;
        FileFacts source;
        uint64_t targetTime;
        bool kept;
    } cases[] = {
        {1, 1, 0, Plain(5), 5, true},
        {1, 1, 0, Plain(4), 5, true},
        {1, 1, 0, Plain(6), 5, false},           // later: a versionless target is replaced
        {1, 1, 0, Plain(0x100000000ULL), 0xffffffffULL, false},
        {1, 1, 1, Plain(1), 5, false},           // Always replaces a readable target
        {1, 1, 0, Versioned(1, 0, 1), 5, false},  // a version is compared with the target's
        {1, 1, 0, Unreadable(), 5, false},
        {0, 1, 0, Plain(1), 5, false},
        {1, 0, 0, Plain(1), 5, false},
    };
    for (const auto& c : cases) {
        FileItem item;
        item.sourceExists = c.sourceExists;
        item.targetExists = c.targetExists;
        item.always = c.always;
        const uint64_t t = c.targetTime;
        EXPECT_EQ(KeptWhateverTargetFacts(item, c.source, t), c.kept) << c.source.lastWriteTime << " " << t;
        bool installsForSome = false;
        for (const FileFacts& target : {Plain(t), Versioned(0, 0, t), Versioned(9, 9, t), Unreadable()})
            installsForSome = installsForSome || RuleInstalls(DecideUpdate(item, target, c.source));
        if (c.kept) EXPECT_FALSE(installsForSome) << c.source.lastWriteTime << " " << t;
        if (!c.kept && c.sourceExists && c.targetExists && c.source.factsOk)
            EXPECT_TRUE(installsForSome) << c.source.lastWriteTime << " " << t;
    }
}

TEST(FileTexts, DateFromUtcFileTimeAndSize) {
    const struct {
        uint64_t fileTime;
        const char* text;
        const char* iso;
    } cases[] = {
        {0, "1.1.1601", "1601-01-01T00:00:00Z"},
        {128097936000000000ULL, "5.12.2006", "2006-12-05T12:00:00Z"},   // noon, 5 December 2006
        {125962560000000000ULL, "29.2.2000", "2000-02-29T00:00:00Z"},
        {125911583999999999ULL, "31.12.1999", "1999-12-31T23:59:59Z"},  // last tick of 1999
        {157520159999999999ULL, "28.2.2100", "2100-02-28T23:59:59Z"},   // 2100 is no leap year
        {133617168000000000ULL + 37230000000ULL, "1.6.2024", "2024-06-01T13:02:03Z"},
        {0x7fffffffffffffffULL, "14.9.30828", "30828-09-14T02:48:05Z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFileDate(c.fileTime), c.text) << c.fileTime;
        EXPECT_EQ(FormatIsoFileTime(c.fileTime), c.iso) << c.fileTime;
    }
    EXPECT_EQ(FormatFileSize(5368709125ULL), "5368709125");
}

TEST(InstallLine, SplitsAtFirstEqualsThenFirstComma) {
    const struct {
        const char* line;
        const char* parts;  // target|source|options|always, or "" for no line
    } cases[] = {
        {"a.dll=b.dll", "a.dll|b.dll||0"},
        {" C:\\t\\a.dll = pkg\\a.dll , Always ", " C:\\t\\a.dll | pkg\\a.dll | Always |1"},
        {"a=b=c,d,e", "a|b=c|d,e|0"},
        {"a=b,NotAlways", "a|b|NotAlways|1"},
        {"a=b,always", "a|b|always|0"},
        {"a=Always", "a|Always||0"},  // only the options count
        {"=", "|||0"},
        {"a,Always", ""},
    };
    for (const auto& c : cases) {
        InstallLine p;
        const bool ok = SplitInstallLine(c.line, p);
        EXPECT_EQ(ok ? p.target + "|" + p.source + "|" + p.options + "|" + (p.always ? "1" : "0") : "", c.parts)
            << c.line;
    }
}

TEST(InstallLine, TrimAndPathCompletion) {
    std::string field = " \r\n\tname.dll \r\n";
    EXPECT_EQ(VariableTrim(field), "\tname.dll");  // tabs stay
    EXPECT_EQ(CompleteFilePath("a.dll", "C:\\prog\\"), "C:\\prog\\a.dll");
    EXPECT_EQ(CompleteFilePath("sub\\a.dll", "C:\\prog\\"), "sub\\a.dll");
    EXPECT_EQ(CompleteFilePath("D:/x/a.dll", "C:\\prog\\"), "C:\\prog\\D:/x/a.dll");
    EXPECT_EQ(FileNamePart("C:\\a\\"), "");
}

TEST(WinInitRename, InsertsFirstInSectionOrAppendsHeader) {
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"no file", "", "[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"no section", "[Other]\r\nk=v\r\n",
         "[Other]\r\nk=v\r\n[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"no final line break", "[Other]\r\nk=v", "[Other]\r\nk=v[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"existing section", "[X]\r\n[Rename]\r\nNUL=C:\\old.dll\r\n[Y]\r\n",
         "[X]\r\n[Rename]\r\nNUL=C:\\a b\\x.dll\r\nNUL=C:\\old.dll\r\n[Y]\r\n"},
        {"header at the very end", "[Rename]\r\n", "[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"header in another case", "[rename]\r\nNUL=C:\\old.dll\r\n",
         "[rename]\r\nNUL=C:\\old.dll\r\n[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"header without CR", "[Rename]\nNUL=C:\\old.dll\n",
         "[Rename]\nNUL=C:\\old.dll\n[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
        {"first of two headers", "[Rename]\r\nA\r\n[Rename]\r\nB\r\n",
         "[Rename]\r\nNUL=C:\\a b\\x.dll\r\nA\r\n[Rename]\r\nB\r\n"},
        {"header behind a zero byte is not seen", std::string("x\0[Rename]\r\n", 13),
         std::string("x\0[Rename]\r\n", 13) + "[Rename]\r\nNUL=C:\\a b\\x.dll\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InsertRenameEntry(c.before, RenameDeleteLine("C:\\a b\\x.dll")), c.after) << c.name;
}

TEST(WinInitRename, ReplacementLine) {
    EXPECT_EQ(InsertRenameEntry("[Rename]\r\nNUL=C:\\old.dll\r\n", RenameLine("C:\\APP\\CORE.DLL", "C:\\APP\\~DP1~1.TMP")),
              "[Rename]\r\nC:\\APP\\CORE.DLL=C:\\APP\\~DP1~1.TMP\r\nNUL=C:\\old.dll\r\n");
}

}  // namespace
}  // namespace dp
