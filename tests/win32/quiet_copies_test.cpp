// How a quiet run copies: the package file of a missing target read once, by
// its copy; targets made with their final attributes, left alone by the end
// phase. Against the same section read and copied the ordinary way.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/path_policy.h"
#include "items/com/com_registration.h"
#include "items/files/file_facts.h"
#include "items/files/file_items.h"
#include "items/files/file_texts.h"
#include "items/rollback/journal_win32.h"
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
            EXPECT_EQ(SourceVersionText(it), SourceVersionText(same));
            EXPECT_EQ(SourceDetails(it), SourceDetails(same));
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


// Lists every file below a folder as "relative path=content".
void ListTree(const std::string& root, const std::string& rel, std::vector<std::string>& out) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((root + rel + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListTree(root, rel + "\\" + name, out);
        else
            out.push_back(rel + "\\" + name + "=" + test::ReadFileText(root + rel + "\\" + name));
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(out.begin(), out.end());
}

// Package files src\\f0 ... holding "<what> <i>" in a scratch folder; Section
// installs them as f0 ... into a folder of it (made here), whose files are
// there first, of 2020 and holding "old <i>", when `old`.
struct Numbered {
    explicit Numbered(int n, const std::string& what = "package") : count(n) {
        CreateDirectoryA((d + "src").c_str(), nullptr);
        for (int i = 0; i < n; ++i) WriteFileText(d + "src\\f" + std::to_string(i), what + " " + std::to_string(i));
    }
    std::string Section(const std::string& folder, bool old = false) const {
        CreateDirectoryA((d + folder).c_str(), nullptr);
        std::string section;
        for (int i = 0; i < count; ++i) {
            const std::string target = d + folder + "\\f" + std::to_string(i);
            if (old) {
                WriteFileText(target, "old " + std::to_string(i));
                SetWriteTime(target, test::FileTimeOf(2020, 1, 1));
            }
            section += target + "=" + d + "src\\f" + std::to_string(i) + "\n";
        }
        return section;
    }
    test::ScratchDir scratch;
    const std::string d = scratch.path() + "\\";
    int count;
};

// Reads the section as a quiet run reads it and carries its copies out as one
// step, going ahead or not, with the journal given; betweenTheTwo runs after
// the reading. What the runner returned.
bool RunCopies(test::Step& step, const std::string& section, const std::string& dir, bool ahead,
               Journal* journal = nullptr, const std::function<void()>& betweenTheTwo = {}) {
    step.context.workAhead = ahead;
    step.context.journal = journal;
    step.files.readEveryTarget = false;
    step.files.holdSmallSources = true;
    step.files.sourceFactsAtCopy = true;
    EXPECT_EQ(step.files.ParseInstallSection(section, 0, 0, 0, 0, step.variables, dir), 1);
    if (betweenTheTwo) betweenTheTwo();
    WorkItems items;
    AddFileCopies(step.files, items);
    return step.Run(std::move(items));
}

// The real copy, but a full disk for a target whose path ends so.
CopyFunction DiskFullFor(std::string ending) {
    return [ending](const std::string& source, const std::string& target, int32_t& scheduled, const HeldContent* held,
                    CopyDetails* details) -> uint32_t {
        return target.ends_with(ending) ? 112 : CopyPackageFile(source, target, scheduled, held, details);
    };
}

std::unique_ptr<Journal> BeginJournal(const std::string& folder) {
    Status status;
    std::unique_ptr<Journal> journal = Journal::Begin(folder, "run", "log", status);
    EXPECT_TRUE(journal) << status.code();
    return journal;
}

// A section whose copies may or may not go ahead: new targets in new and
// existing folders, a folder two levels deep, existing targets, a target
// named twice, a package file that an earlier and one that a later line
// installs, a short name, a missing package file.
struct AheadSection {
    explicit AheadSection(const std::string& d) : dir(d) {
        CreateDirectoryA((d + "src").c_str(), nullptr);
        for (int i = 0; i < 40; ++i) WriteFileText(d + "src\\f" + std::to_string(i), "package " + std::to_string(i));
        WriteFileText(d + "src\\big", std::string(20000, 'b'));
    }
    // The section for the target folder `t` (made here with its old files).
    std::string For(const std::string& t) const {
        const std::string root = dir + t;
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA((root + "\\old").c_str(), nullptr);
        WriteFileText(root + "\\old\\f1", "old");
        WriteFileText(root + "\\chain", "old chain");
        SetWriteTime(root + "\\old\\f1", test::FileTimeOf(2020, 1, 1));
        SetWriteTime(root + "\\chain", test::FileTimeOf(2020, 1, 1));
        std::string s;
        const auto line = [&](const std::string& target, const std::string& source) {
            s += root + "\\" + target + "=" + source + "\n";
        };
        for (int i = 0; i < 40; ++i) line("new\\f" + std::to_string(i), dir + "src\\f" + std::to_string(i));
        line("old\\f1", dir + "src\\f1");                     // replaced in its turn
        line("old\\f2", dir + "src\\f2");
        line("twice", dir + "src\\f3");                       // named twice: both in turn
        line("twice", dir + "src\\f4");
        line("from-chain", root + "\\chain");                 // read before the next line replaces it
        line("chain", dir + "src\\f5");
        line("to-chain2", root + "\\chain2");                 // installed by the next line: missing now
        line("chain2", dir + "src\\f6");
        line("NEWFOL~1\\x", dir + "src\\f7");                 // a short name: in turn
        line("new\\..\\dup", dir + "src\\f9");                // one file by two names: both in turn,
        line("dup", dir + "src\\f10");                         // the later line's copy last
        line("deep\\er\\f8", dir + "src\\f8");                // two levels missing: fails
        line("big", dir + "src\\big");
        line("gone", dir + "src\\gone");
        return s;
    }
    std::string dir;
};

// Copies made ahead of their turn log the same lines, in the same order, and
// leave the same files as copies made in turn.
TEST(CopyAhead, SameLinesAndFilesAsInTurn) {
    test::ScratchDir scratch;
    const std::string d = scratch.path() + "\\";
    const AheadSection section(d);
    std::string logs[2];
    std::vector<std::string> trees[2];
    for (int ahead = 0; ahead < 2; ++ahead) {
        const std::string t = ahead ? "b" : "a";
        test::Step step;
        test::BoxRecorder boxes(kAnswerCancel);
        EXPECT_TRUE(RunCopies(step, section.For(t), d, ahead != 0));
        logs[ahead] = Replaced(step.Log(), d + t + "\\", d + "T\\");
        ListTree(d + t, "", trees[ahead]);
    }
    EXPECT_EQ(logs[1], logs[0]);
    EXPECT_EQ(trees[1], trees[0]);
    // Every marked item told its copy (the missing package files are not
    // marked).
    EXPECT_EQ(std::count(logs[0].begin(), logs[0].end(), '\n'), 52) << logs[0];
    EXPECT_NE(logs[0].find("T\\chain (1.1.2020; 9; 1.1.2020) is replaced"), std::string::npos) << logs[0];
    EXPECT_EQ(test::ReadFileText(d + "b\\dup"), "package 10");
}

// A full disk in the turn of an item ends the phase there: what was made
// ahead for the items after it is deleted again, with the folders made for
// it; what the items before it made stays.
TEST(CopyAhead, PhaseEndingEarlyTakesBackWhatWasMadeAhead) {
    test::ScratchDir scratch;
    const std::string d = scratch.path() + "\\";
    CreateDirectoryA((d + "src").c_str(), nullptr);
    CreateDirectoryA((d + "t").c_str(), nullptr);
    std::string section;
    for (int i = 0; i < 30; ++i) {
        WriteFileText(d + "src\\f" + std::to_string(i), "package " + std::to_string(i));
        // Item 10 replaces a file (in its turn); the others are new, from
        // item 20 on in a folder of their own.
        const std::string target = i == 10 ? "t\\f10" : i < 20 ? "t\\new\\f" + std::to_string(i) : "t\\late\\f" + std::to_string(i);
        section += d + target + "=" + d + "src\\f" + std::to_string(i) + "\n";
    }
    WriteFileText(d + "t\\f10", "old");
    SetWriteTime(d + "t\\f10", test::FileTimeOf(2020, 1, 1));
    const test::Replaced<CopyFunction> fullAtTen(SetCopyFunctionForTesting, DiskFullFor("\\f10"));
    {
        test::BoxRecorder boxes;  // the full disk's
        test::Step step(LogLevel::Short);
        EXPECT_FALSE(RunCopies(step, section, d, true));
        EXPECT_TRUE(step.context.endPhase);
        const std::string log = step.Log();
        EXPECT_NE(log.find("f9 "), std::string::npos);
        EXPECT_NE(log.find("f10 "), std::string::npos);
        EXPECT_EQ(log.find("f11 "), std::string::npos);
        EXPECT_EQ(boxes.boxes.size(), 1u);
    }
    std::vector<std::string> left;
    ListTree(d + "t", "", left);
    std::vector<std::string> expected = {"\\f10=old"};
    for (int i = 0; i < 10; ++i) expected.push_back("\\new\\f" + std::to_string(i) + "=package " + std::to_string(i));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    EXPECT_FALSE(test::Exists(d + "t\\late"));
}

// A transactional run logs the same whether its copies go ahead or not, and
// its rollback leaves every file and folder as it was before the run.
TEST(CopyAhead, TransactionalRunRollsBackToWhatWasThere) {
    test::ScratchDir scratch;
    const std::string d = scratch.path() + "\\";
    const AheadSection section(d);
    std::string logs[2];
    for (int ahead = 0; ahead < 2; ++ahead) {
        SCOPED_TRACE(ahead);
        const std::string t = ahead ? "b" : "a";
        const std::string script = section.For(t);
        std::vector<std::string> before, installed, after;
        ListTree(d + t, "", before);
        const std::string folder = d + "journal-" + t;
        std::unique_ptr<Journal> journal = BeginJournal(folder);
        ASSERT_TRUE(journal);
        test::Step step;
        test::BoxRecorder boxes(kAnswerCancel);
        RunCopies(step, script, d, ahead != 0, journal.get());
        journal.reset();
        logs[ahead] = Replaced(step.Log(), d + t + "\\", d + "T\\");
        ListTree(d + t, "", installed);
        EXPECT_GT(installed.size(), before.size() + 40);
        const RollbackReport report = RollBack(folder, nullptr);
        EXPECT_EQ(report.notUndone, 0);
        ListTree(d + t, "", after);
        EXPECT_EQ(after, before);
        EXPECT_FALSE(test::Exists(d + t + "\\new"));
    }
    EXPECT_EQ(logs[1], logs[0]);
}

// A file that another program puts at a target between the reading (which
// found it missing) and its copy is not this run's: a transactional run keeps
// it before replacing it, and its rollback puts it back instead of deleting
// it, whether the copy went ahead or not.
TEST(CopyAhead, FileThatCameMeanwhileIsPutBackByTheRollback) {
    const Numbered files(6);
    static std::atomic<int> planted{0};
    const test::Replaced<CopyFunction> plantFirst(
        SetCopyFunctionForTesting, [](const std::string& source, const std::string& target, int32_t& scheduled,
                                      const HeldContent* held, CopyDetails* details) -> uint32_t {
            if (target.ends_with("\\f3") && planted.exchange(1) == 0) WriteFileText(target, "theirs");
            return CopyPackageFile(source, target, scheduled, held, details);
        });
    for (int ahead = 0; ahead < 2; ++ahead) {
        SCOPED_TRACE(ahead);
        planted = 0;
        const std::string t = ahead ? "b" : "a", folder = files.d + t + "-journal";
        std::unique_ptr<Journal> journal = BeginJournal(folder);
        ASSERT_TRUE(journal);
        test::Step step;
        EXPECT_TRUE(RunCopies(step, files.Section(t), files.d, ahead != 0, journal.get()));
        EXPECT_EQ(test::ReadFileText(files.d + t + "\\f3"), "package 3");
        journal.reset();
        const RollbackReport report = RollBack(folder, nullptr);
        EXPECT_EQ(report.notUndone, 0);
        std::vector<std::string> left;
        ListTree(files.d + t, "", left);
        EXPECT_EQ(left, std::vector<std::string>{"\\f3=theirs"});
    }
}

// Near a full disk: a copy that finds no room in its turn while files made
// ahead for later items hold it gets that room back (they are made again in
// their turns), and is installed as it would have been without work ahead.
TEST(CopyAhead, FullDiskInATurnGetsTheRoomOfFilesMadeAhead) {
    const Numbered files(8);
    // No room for f2 ahead, nor in its turn while the last file is there.
    const test::Replaced<CopyFunction> roomForOne(
        SetCopyFunctionForTesting, [](const std::string& source, const std::string& target, int32_t& scheduled,
                                      const HeldContent* held, CopyDetails* details) -> uint32_t {
            if (target.ends_with("\\f2") &&
                ((details && details->newTargetOnly) || test::Exists(target.substr(0, target.size() - 1) + "7")))
                return 112;
            return CopyPackageFile(source, target, scheduled, held, details);
        });
    test::BoxRecorder boxes;
    test::Step step(LogLevel::Short);
    EXPECT_TRUE(RunCopies(step, files.Section("t"), files.d, true)) << step.Log();
    EXPECT_TRUE(boxes.boxes.empty());
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(test::ReadFileText(files.d + "t\\f" + std::to_string(i)), "package " + std::to_string(i));
}

// A transactional run whose copies went ahead and whose phase ends early:
// a file that someone else put at a later item's target before the copies
// (so that it was not made ahead) is not this run's, and the rollback leaves
// it where it is.
TEST(CopyAhead, RollbackAfterAnEarlyEndKeepsWhatOthersMade) {
    const Numbered files(8);
    const test::Replaced<CopyFunction> fullAtTwo(SetCopyFunctionForTesting, DiskFullFor("\\f2"));
    test::BoxRecorder boxes;
    const std::string folder = files.d + "journal";
    std::unique_ptr<Journal> journal = BeginJournal(folder);
    ASSERT_TRUE(journal);
    test::Step step(LogLevel::Short);
    // After the reading, before the copies:
    EXPECT_FALSE(RunCopies(step, files.Section("t"), files.d, true, journal.get(),
                           [&] { WriteFileText(files.d + "t\\f5", "theirs"); }));
    EXPECT_TRUE(step.context.endPhase);
    journal.reset();
    RollBack(folder, nullptr);
    std::vector<std::string> left;
    ListTree(files.d + "t", "", left);
    EXPECT_EQ(left, std::vector<std::string>{"\\f5=theirs"});
}

// A transactional run records where the files it replaces go for a stretch
// of items at once, before any is moved: when the phase ends early (a full
// disk at the fourth of eight replacements), the rollback puts back the four
// files moved aside, tells only those, and leaves the others as they were,
// whether the copies went ahead or not.
TEST(CopyAhead, ReplacementsRecordedAheadUndoOnlyWhatWasMoved) {
    const Numbered files(8, "new");
    const test::Replaced<CopyFunction> fullAtThree(SetCopyFunctionForTesting, DiskFullFor("\\f3"));
    for (int ahead = 0; ahead < 2; ++ahead) {
        SCOPED_TRACE(ahead);
        const std::string t = ahead ? "b" : "a", folder = files.d + t + "-journal";
        const std::string section = files.Section(t, true);
        std::vector<std::string> before, after;
        ListTree(files.d + t, "", before);
        std::unique_ptr<Journal> journal = BeginJournal(folder);
        ASSERT_TRUE(journal);
        test::BoxRecorder boxes;
        test::Step step(LogLevel::Short);
        EXPECT_FALSE(RunCopies(step, section, files.d, ahead != 0, journal.get()));
        EXPECT_EQ(test::ReadFileText(files.d + t + "\\f2"), "new 2");
        journal.reset();
        std::FILE* log = std::tmpfile();
        const RollbackReport report = RollBack(folder, log);
        const std::string told = test::ReadStream(log);
        std::fclose(log);
        EXPECT_EQ(report.undone, 4) << told;
        EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 4) << told;
        for (const char* untouched : {"f4", "f5", "f6", "f7"}) EXPECT_EQ(told.find(untouched), std::string::npos) << told;
        ListTree(files.d + t, "", after);
        EXPECT_EQ(after, before);
    }
}

// A package file whose facts fault when its copy reads them (a damaged
// version resource, say) is not installed: its item fails and says why,
// whether its copy went ahead or not; the other files are installed.
TEST(CopyAhead, FactsThatFaultFailTheirItem) {
    const Numbered files(4);
    const test::Replaced<FactsReader> faultOnTwo(
        SetFactsReaderForTesting, [](const std::string& path, FileFacts& facts, std::string& version, uint32_t& error,
                                     std::shared_ptr<const HeldContent>* whole) {
            if (path.ends_with("\\f2")) {
                static void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
                *static_cast<int* volatile>(page) = 1;
            }
            return ReadShownFacts(path, facts, version, error, whole);
        });
    for (int ahead = 0; ahead < 2; ++ahead) {
        SCOPED_TRACE(ahead);
        const std::string t = ahead ? "b" : "a";
        RunTally tally;
        test::Step step(LogLevel::Short);
        step.context.tally = &tally;
        RunCopies(step, files.Section(t), files.d, ahead != 0);
        EXPECT_EQ(tally.done, 3);
        EXPECT_EQ(tally.failed, 1);
        EXPECT_FALSE(test::Exists(files.d + t + "\\f2"));
        EXPECT_EQ(test::ReadFileText(files.d + t + "\\f3"), "package 3");
        const std::string log = step.Log();
        EXPECT_NE(log.find("the facts of the file cannot be read"), std::string::npos) << log;
        EXPECT_NE(log.find(files.d + "src\\f2"), std::string::npos) << log;
    }
}

// A transactional run that replaces more files than one folder of saved files
// holds: its rollback puts every one back; after a run that succeeded nothing
// of the journal is left.
TEST(CopyAhead, ManyReplacedFilesAreKeptAndDiscarded) {
    const Numbered files(300, "new");
    const std::string section = files.Section("t", true);
    std::vector<std::string> before;
    ListTree(files.d + "t", "", before);
    for (const bool succeeded : {false, true}) {
        SCOPED_TRACE(succeeded);
        const std::string folder = files.d + "journal";
        std::unique_ptr<Journal> journal = BeginJournal(folder);
        ASSERT_TRUE(journal);
        test::Step step(LogLevel::None);
        EXPECT_TRUE(RunCopies(step, section, files.d, true, journal.get()));
        EXPECT_EQ(test::ReadFileText(files.d + "t\\f299"), "new 299");
        journal.reset();
        if (succeeded) {
            DiscardJournal(folder);
            EXPECT_FALSE(test::Exists(folder));
        } else {
            EXPECT_EQ(RollBack(folder, nullptr).undone, 300);
            std::vector<std::string> after;
            ListTree(files.d + "t", "", after);
            EXPECT_EQ(after, before);
        }
    }
}

}  // namespace
}  // namespace dp
