// The rollback journal against real files: what a rollback keeps when it is
// finished by a later start.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "items/rollback/journal_win32.h"
#include "test_support.h"

namespace dp {
namespace {

using test::ReadFileText;
using test::WriteFileText;

// The journal's own spelling of a path (every backslash doubled).
std::string Escaped(const std::string& path) {
    std::string out;
    for (char c : path) {
        out += c;
        if (c == '\\') out += '\\';
    }
    return out;
}

// A rollback cut short after it tried to put a file back (its put-back failed
// or waits for the reboot, so the saved copy is still where it was kept) is
// finished by the next start: the saved copy stays, named in the log, and
// a file that was put back is not touched again.
TEST(Journal, FinishedRollbackKeepsWhatTheFirstOneCouldNotPutBack) {
    test::ScratchDir scratch;
    const std::string d = scratch.path() + "\\";
    const std::string folder = d + "journal", saved = folder + "\\saved-7-1";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA(saved.c_str(), nullptr);
    WriteFileText(saved + "\\1", "original");
    WriteFileText(d + "app.txt", "this run's");
    WriteFileText(d + "done.txt", "put back");
    WriteFileText(JournalFilePath(folder),
                  "DEPLOYATOR ROLLBACK JOURNAL 1\n"
                  "BEGIN\t-C=X\t" + Escaped(d) + "run.log\t7-1\t\n"
                  "FILE-SAVED\t" + Escaped(d + "app.txt") + "\t" + Escaped(saved + "\\1") + "\n"
                  "FILE-SAVED\t" + Escaped(d + "done.txt") + "\t" + Escaped(saved + "\\2") + "\n"
                  "ROLLBACK\n"
                  "UNDONE\t2\n"
                  "UNDONE\t1\n");
    std::FILE* log = std::tmpfile();
    const RollbackReport report = RollBack(folder, log);
    const std::string told = test::ReadStream(log);
    std::fclose(log);
    EXPECT_TRUE(report.keepSaved);
    EXPECT_EQ(ReadFileText(saved + "\\1"), "original");
    EXPECT_NE(told.find("Kept for the rollback: " + saved), std::string::npos) << told;
    EXPECT_EQ(ReadFileText(d + "done.txt"), "put back");
    EXPECT_FALSE(test::Exists(JournalFilePath(folder)));
}

}  // namespace
}  // namespace dp
