// The rollback journal's text: records survive any field (tabs, line ends,
// backslashes), a line cut by a crash or of an unknown kind ends what is
// trusted, another version is not read, and what is left to undo is every
// change after the last BEGIN not yet undone, latest first.
#include "items/rollback/journal_text.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

std::string Journal(const std::vector<JournalRecord>& records) {
    std::string text = std::string(kJournalHeader) + "\n";
    for (const JournalRecord& r : records) text += EncodeJournalRecord(r);
    return text;
}

TEST(JournalText, RecordsRoundTripWhateverTheirFields) {
    const std::vector<JournalRecord> records = {
        {journal::kBegin, {"-C=A.INI -QUIET", "C:\\Logs\\a.log"}},
        {journal::kFileSaved, {"C:\\a\tb\\c.txt", "C:\\j\\saved\\1"}},
        {journal::kValue, {"HKEY_CURRENT_USER\\S", "line\nend\r", "64", "1", "7", HexOf(std::string("a\0b\0\0", 5))}},
        {journal::kList, {"ComReg", "1"}},
        {journal::kRebootWait, {}},
        {journal::kProgram, {"\\\\server\\t.exe \\t"}},
    };
    const JournalContents read = ParseJournal(Journal(records));
    ASSERT_TRUE(read.recognised);
    EXPECT_FALSE(read.cut);
    ASSERT_EQ(read.records.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(read.records[i].kind, records[i].kind) << i;
        EXPECT_EQ(read.records[i].fields, records[i].fields) << i;
    }
    std::string bytes;
    ASSERT_TRUE(BytesOfHex(read.records[2].field(5), bytes));
    EXPECT_EQ(bytes, std::string("a\0b\0\0", 5));
    EXPECT_FALSE(BytesOfHex("abc", bytes));
    EXPECT_FALSE(BytesOfHex("zz", bytes));
    EXPECT_EQ(read.records[3].field(7), "");  // a field the record does not have
}

TEST(JournalText, WhatIsNotTrustedIsLeftOut) {
    const std::string good = Journal({{journal::kFileNew, {"C:\\a"}}});
    const struct {
        const char* name;
        std::string text;
        bool recognised, cut;
        size_t records;
    } cases[] = {
        {"cut in its last line", good + "FILE-NEW\tC:\\\\b", true, true, 1},
        {"an unknown kind", good + "FORMAT-DISK\tC:\n" + EncodeJournalRecord({journal::kFileNew, {"x"}}), true, true, 1},
        {"a lone backslash", good + "FILE-NEW\tC:\\temp\\x\n", true, true, 1},
        {"another version", "DEPLOYATOR ROLLBACK JOURNAL 0\nFILE-NEW\tC:\\\\a\n", false, false, 0},
        {"no header line", "FILE-NEW\tC:\\\\a\n", false, false, 0},
        {"empty", "", false, false, 0},
    };
    for (const auto& c : cases) {
        const JournalContents read = ParseJournal(c.text);
        EXPECT_EQ(read.recognised, c.recognised) << c.name;
        EXPECT_EQ(read.cut, c.cut) << c.name;
        EXPECT_EQ(read.records.size(), c.records) << c.name;
    }
}

TEST(JournalText, UndoLatestFirstSkippingWhatWasUndone) {
    using V = std::vector<size_t>;
    const std::vector<JournalRecord> records = {
        {journal::kBegin, {"old run"}},    // 0
        {journal::kFileNew, {"a"}},         // 1: before the last BEGIN, not this run's
        {journal::kBegin, {"this run"}},   // 2
        {journal::kFileNew, {"b"}},         // 3
        {journal::kValue, {"k", "n"}},      // 4
        {journal::kProgram, {"p"}},         // 5
        {journal::kRebootWait, {}},         // 6: no change
        {journal::kFileSaved, {"c", "s"}},  // 7
    };
    EXPECT_EQ(RecordsToUndo(records), (V{7, 5, 4, 3}));
    EXPECT_FALSE(WaitsForReboot(records));
    std::vector<JournalRecord> waiting(records.begin(), records.begin() + 7);
    EXPECT_TRUE(WaitsForReboot(waiting));

    // A rollback that was killed half-way goes on where it stopped.
    std::vector<JournalRecord> half = records;
    half.push_back({journal::kRollback, {}});
    half.push_back({journal::kUndone, {"7"}});
    half.push_back({journal::kUndone, {"5"}});
    half.push_back({journal::kUndone, {"x9"}});     // not a number: ignored
    half.push_back({journal::kUndone, {"99999"}});  // no such record
    EXPECT_EQ(RecordsToUndo(half), (V{4, 3}));
    EXPECT_FALSE(WaitsForReboot(half));
}

}  // namespace
}  // namespace dp
