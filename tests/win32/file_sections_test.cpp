// The file sections read against real files: flags and order, facts and
// texts, the update decision, the missing-source prompt, progress and Stop.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>
#include <vector>

#include "app/run_flags.h"
#include "file_test_support.h"
#include "items/files/file_facts.h"
#include "items/files/file_list.h"
#include "items/files/version_resource.h"
#include "log/message_box.h"
#include "script/variable_table.h"

namespace dp {
namespace {

using test::CopyData;
using test::FileTimeOf;
using test::ScratchDir;
using test::SetWriteTime;
using test::WriteFileText;

struct Box {
    std::string text, caption;
    unsigned style = 0;
};

// Scripts the answers of message boxes and records what they showed.
class ScriptedBoxes {
public:
    explicit ScriptedBoxes(std::vector<int> answers) : answers_(std::move(answers)) {
        old_ = SetMessageBoxHandler([this](const std::string& text, const std::string& caption,
                                           unsigned style) {
            shown.push_back({text, caption, style});
            if (answers_.empty()) return kAnswerOk;
            const int answer = answers_.front();
            answers_.erase(answers_.begin());
            return answer;
        });
    }
    ~ScriptedBoxes() { SetMessageBoxHandler(old_); }
    std::vector<Box> shown;

private:
    std::vector<int> answers_;
    MessageBoxHandler old_;
};

class FileSections : public ::testing::Test {
protected:
    void SetUp() override {
        stopRequested = 0;
        variables.programDirectory = dir.path() + "\\";
    }
    std::string Dir() const { return dir.path() + "\\"; }

    ScratchDir dir;
    VariableTable variables;
    FileList list;
};

TEST_F(FileSections, ElevenSectionsInReaderOrderWithTheirFlags) {
    for (const char* name : {"a.src", "b.src", "c.src", "d.src", "e.src", "f.src", "g.src",
                             "h.src", "i.src", "del1", "del2"})
        WriteFileText(dir / name, name);
    const std::string d = Dir();
    // Bare names are completed with the program directory, whatever the
    // current directory is.
    SetCurrentDirectoryA("C:\\");
    struct Step {
        bool install;
        std::string text;
        int always, reg, system, font;
    } steps[] = {
        {true, "a.tgt=a.src\r\nplain.tgt = a.src , NotAlways", 0, 0, 0, 0},  // [InstallFiles]
        {false, "del1", 0, 0, 0, 0},                                         // [DeleteFilesFirst]
        {false, d + "del2", 0, 1, 0, 0},                                     // [DeleteRegisterFiles]
        {false, "font.del", 0, 0, 0, 1},                                     // [DeleteFonts]
        {true, "b.tgt=b.src", 0, 0, 1, 0},                                   // [InstallSystemFiles]
        {true, "c.tgt=c.src", 0, 1, 1, 0},  // [InstallSystemRegisterFiles]
        {true, "d.tgt=d.src", 0, 0, 0, 1},  // [InstallFonts]
        {true, "e.tgt=e.src", 1, 0, 0, 1},  // [AlwaysInstallFonts]
        {true, "f.tgt=f.src", 1, 0, 0, 0},  // [AlwaysInstallFiles]
        {true, "g.tgt=g.src,always", 0, 1, 0, 0},  // [InstallRegisterFiles]
        {true, "h.tgt=h.src", 1, 1, 0, 0},         // [AlwaysInstallRegisterFiles]
    };
    for (const Step& s : steps) {
        if (s.install)
            ASSERT_EQ(list.ParseInstallSection(s.text, s.always, s.reg, s.system, s.font, variables,
                                               d),
                      1);
        else
            ASSERT_EQ(list.ParseDeleteSection(s.text, s.reg, s.font, variables), 1);
    }

    const struct {
        const char* target;
        uint8_t deleteItem, always, reg, system, font, targetExists, sourceExists;
    } expected[] = {
        {"a.tgt", 0, 0, 0, 0, 0, 0, 1},     {"plain.tgt", 0, 1, 0, 0, 0, 0, 1},
        {"del1", 1, 0, 0, 0, 0, 1, 0},      {"del2", 1, 0, 1, 0, 0, 1, 0},
        {"font.del", 1, 0, 0, 0, 1, 0, 0},  {"b.tgt", 0, 0, 0, 1, 0, 0, 1},
        {"c.tgt", 0, 0, 1, 1, 0, 0, 1},     {"d.tgt", 0, 0, 0, 0, 1, 0, 1},
        {"e.tgt", 0, 1, 0, 0, 1, 0, 1},     {"f.tgt", 0, 1, 0, 0, 0, 0, 1},
        {"g.tgt", 0, 0, 1, 0, 0, 0, 1},     {"h.tgt", 0, 1, 1, 0, 0, 0, 1},
    };
    ASSERT_EQ(list.count(), 12);
    for (int i = 0; i < list.count(); ++i) {
        const FileItem& item = list.items[i];
        const auto& e = expected[i];
        SCOPED_TRACE(item.targetPath);
        EXPECT_EQ(item.rowKey, i);
        EXPECT_EQ(item.targetPath, d + e.target);
        EXPECT_EQ(item.targetName, e.target);
        EXPECT_EQ(item.deleteItem, e.deleteItem);
        EXPECT_EQ(item.always, e.always);
        EXPECT_EQ(item.registerFile, e.reg);
        EXPECT_EQ(item.system, e.system);
        EXPECT_EQ(item.font, e.font);
        EXPECT_EQ(item.targetExists, e.targetExists);
        EXPECT_EQ(item.sourceExists, e.sourceExists);
        // Install items with a missing target are updated; delete items are
        // always selected.
        EXPECT_EQ(item.needsUpdate, 1);
        EXPECT_EQ(item.selected, 1);
        if (e.deleteItem) {
            EXPECT_EQ(item.sourcePath, " ");
            EXPECT_EQ(item.sourceName, "- need to be deleted -");
            EXPECT_EQ(item.sourceVersionText, " ");
            EXPECT_EQ(item.sourceDetails, " ");
        } else {
            EXPECT_EQ(item.sourcePath.substr(0, d.size()), d);
        }
    }
    EXPECT_EQ(list.items[1].sourceName, "a.src");
    EXPECT_EQ(list.items[4].targetVersionText, "- not found -");
    EXPECT_EQ(list.items[4].targetDetails, "");
}

TEST_F(FileSections, FactsOfVersionedUnversionedMissingAndLockedFiles) {
    CopyData("verdll_two.dll", dir / "two.dll");
    CopyData("verdll_none.dll", dir / "none.dll");
    SetWriteTime(dir / "none.dll", FileTimeOf(2006, 12, 5));
    FileFacts facts;
    FileFactTexts texts;
    std::string error;

    ASSERT_EQ(ReadFileFacts(dir / "two.dll", facts, texts, error), 1) << error;
    EXPECT_EQ(facts.factsOk, 1);
    EXPECT_EQ(facts.hasVersion, 1);
    EXPECT_EQ(texts.versionText, "3.1.4.1 last translation");  // the last translation counts
    EXPECT_EQ(facts.versionMS, 0x00030001u);
    EXPECT_EQ(facts.versionLS, 0x00040001u);

    ASSERT_EQ(ReadFileFacts(dir / "none.dll", facts, texts, error), 1) << error;
    EXPECT_EQ(facts.hasVersion, 0);
    EXPECT_EQ(texts.versionText, "");
    EXPECT_EQ(texts.dateText, "5.12.2006");
    EXPECT_EQ(facts.lastWriteTime, FileTimeOf(2006, 12, 5));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA((dir / "none.dll").c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(texts.sizeText, std::to_string(data.nFileSizeLow));

    EXPECT_EQ(ReadFileFacts(dir / "missing.dll", facts, texts, error), 0);
    EXPECT_EQ(error, "Error opening file ErrCode=2");
    EXPECT_EQ(facts.factsOk, 0);

    test::LockedFile lock(dir / "two.dll");
    ASSERT_TRUE(lock.ok());
    EXPECT_EQ(ReadFileFacts(dir / "two.dll", facts, texts, error), 0);
    EXPECT_EQ(error, "Error opening file ErrCode=32");
    EXPECT_TRUE(FileExists(dir / "two.dll"));
    EXPECT_TRUE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(dir / "missing.dll"));
}

class FileReader : public ByteReader {
public:
    explicit FileReader(const std::string& path)
        : h_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr)) {}
    ~FileReader() override {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    bool Read(uint64_t offset, void* out, size_t size) override {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        return ReadFile(h_, out, static_cast<DWORD>(size), &read, &at) && read == size;
    }

private:
    HANDLE h_;
};

// The version facts read straight from images agree with the system's version
// library, on the test DLLs and on the system's own DLLs and programs.
TEST(VersionFacts, ImageReaderAgreesWithVersionLibrary) {
    std::vector<std::string> paths;
    for (const char* name : {"verdll_1000.dll", "verdll_2000.dll", "verdll_two.dll",
                             "verdll_none.dll", "comserver.dll", "win32_tests.exe"})
        paths.push_back(ProgramDirectory() + name);
    char system[MAX_PATH + 1] = {};
    GetSystemDirectoryA(system, sizeof system);
    for (const char* pattern : {"\\*.dll", "\\*.exe"}) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((std::string(system) + pattern).c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) continue;
        int taken = 0;
        do paths.push_back(std::string(system) + "\\" + data.cFileName);
        while (++taken < 150 && FindNextFileA(find, &data));
        FindClose(find);
    }
    int counts[3] = {};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        {
            FileReader reader(path);
            std::vector<uint8_t> block;
            ++counts[static_cast<int>(FindImageVersionResource(reader, block))];
        }
        FileFacts direct, library;
        FileFactTexts directTexts, libraryTexts;
        std::string directError, libraryError;
        const int directOk = ReadFileFacts(path, direct, directTexts, directError);
        SetVersionLibraryOnly(true);
        const int libraryOk = ReadFileFacts(path, library, libraryTexts, libraryError);
        SetVersionLibraryOnly(false);
        EXPECT_EQ(directOk, libraryOk);
        EXPECT_EQ(directError, libraryError);
        EXPECT_EQ(direct.hasVersion, library.hasVersion);
        EXPECT_EQ(direct.versionMS, library.versionMS);
        EXPECT_EQ(direct.versionLS, library.versionLS);
        EXPECT_EQ(directTexts.versionText, libraryTexts.versionText);
    }
    // none, found, undecided: both kinds the reader decides on were met.
    EXPECT_GT(counts[0], 0);
    EXPECT_GT(counts[1], 5);
    std::printf("[ version ] %zu files: %d without version, %d read directly, %d by the library\n",
                paths.size(), counts[0], counts[1], counts[2]);
}

TEST_F(FileSections, DecisionAndTextsFromRealFiles) {
    const uint64_t older = FileTimeOf(2006, 12, 5), newer = FileTimeOf(2007, 1, 9);
    struct Pair {
        const char* name;
        const char* target;  // data file, "" for a missing target, or "text" for a text file
        uint64_t targetTime;
        const char* source;
        uint64_t sourceTime;
        const char* options;
        int needsUpdate;
        const char* targetVersion;
        const char* sourceVersion;
    } pairs[] = {
        {"higher", "verdll_1000.dll", newer, "verdll_1001.dll", older, "", 1, "1.0.0.0", "1.0.0.1"},
        {"lower", "verdll_2000.dll", older, "verdll_1001.dll", newer, "", 0, "2.0 text", "1.0.0.1"},
        {"equal, source newer", "verdll_1000.dll", older, "verdll_1000.dll", newer, "", 0,
         "1.0.0.0", "1.0.0.0"},
        {"equal, Always", "verdll_1000.dll", older, "verdll_1000.dll", older, "Always", 1,
         "1.0.0.0", "1.0.0.0"},
        {"versioned over none", "verdll_none.dll", newer, "verdll_1000.dll", older, "", 1,
         "9.1.2007", "1.0.0.0"},
        {"none over versioned", "verdll_1000.dll", older, "verdll_none.dll", newer, "", 0,
         "1.0.0.0", "9.1.2007"},
        {"texts, source later", "text", older, "text", newer, "", 1, "5.12.2006", "9.1.2007"},
        {"texts, equal times", "text", older, "text", older, "", 0, "5.12.2006", "5.12.2006"},
        {"missing target", "", 0, "text", older, "", 1, "- not found -", "5.12.2006"},
    };
    std::string section;
    int n = 0;
    for (const Pair& p : pairs) {
        const std::string t = dir / ("t" + std::to_string(n)), s = dir / ("s" + std::to_string(n));
        ++n;
        for (auto [data, path, time] : {std::tuple{p.target, t, p.targetTime},
                                        std::tuple{p.source, s, p.sourceTime}}) {
            if (std::string(data).empty()) continue;
            if (std::string(data) == "text")
                WriteFileText(path, "plain text");
            else
                CopyData(data, path);
            SetWriteTime(path, time);
        }
        section += t + "=" + s + "," + p.options + "\r\n";
    }
    ASSERT_EQ(list.ParseInstallSection(section, 0, 0, 0, 0, variables, Dir()), 1);
    ASSERT_EQ(list.count(), n);
    for (int i = 0; i < n; ++i) {
        const FileItem& item = list.items[i];
        SCOPED_TRACE(pairs[i].name);
        EXPECT_EQ(item.needsUpdate, pairs[i].needsUpdate);
        EXPECT_EQ(item.selected, item.needsUpdate);
        EXPECT_EQ(item.targetVersionText, pairs[i].targetVersion);
        EXPECT_EQ(item.sourceVersionText, pairs[i].sourceVersion);
    }
    // "size; date" for present files, empty for a missing target.
    EXPECT_EQ(list.items[6].targetDetails, "10; 5.12.2006");
    EXPECT_EQ(list.items[6].sourceDetails, "10; 9.1.2007");
    EXPECT_EQ(list.items[8].targetDetails, "");
    EXPECT_EQ(list.items[8].targetExists, 0);
}

TEST_F(FileSections, LockedTargetIsGetErrorAndNotUpdatedEvenAlways) {
    CopyData("verdll_1000.dll", dir / "t.dll");
    CopyData("verdll_2000.dll", dir / "s.dll");
    test::LockedFile lock(dir / "t.dll");
    ASSERT_TRUE(lock.ok());
    ASSERT_EQ(list.ParseInstallSection(dir / "t.dll=" + dir / "s.dll", 1, 0, 0, 0, variables, Dir()),
              1);
    ASSERT_EQ(list.ParseDeleteSection(dir / "t.dll", 0, 0, variables), 1);
    const FileItem& item = list.items[0];
    EXPECT_EQ(item.targetExists, 1);
    EXPECT_EQ(item.targetVersionText, "- get error -");
    EXPECT_EQ(item.targetDetails, "- get error -");
    EXPECT_EQ(item.sourceVersionText, "2.0 text");
    EXPECT_EQ(item.needsUpdate, 0);
    EXPECT_EQ(list.items[1].targetVersionText, "- get error -");
    EXPECT_EQ(list.items[1].selected, 1);
}

TEST_F(FileSections, MissingSourcePromptOkEndsCancelKeeps) {
    const std::string missing = dir / "missing.src";
    const std::string line = dir / "t.dll=" + missing + "\n" + dir / "u.dll=" + missing;
    {
        ScriptedBoxes boxes({kAnswerOk});
        EXPECT_EQ(list.ParseInstallSection(line, 0, 0, 0, 0, variables, Dir()), 0);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text,
                  "Source file not found " + missing +
                      ". To finish work press Ok, to continue work press Cancel..");
        EXPECT_EQ(boxes.shown[0].caption, "");
        EXPECT_EQ(boxes.shown[0].style, kBoxOkCancel);
    }
    list.items.clear();
    {
        ScriptedBoxes boxes({kAnswerCancel, kAnswerCancel});
        EXPECT_EQ(list.ParseInstallSection(line, 0, 0, 0, 0, variables, Dir()), 1);
        EXPECT_EQ(boxes.shown.size(), 2u);
    }
    ASSERT_EQ(list.count(), 2);
    const FileItem& item = list.items[0];
    EXPECT_EQ(item.sourceExists, 0);
    EXPECT_EQ(item.needsUpdate, 0);
    EXPECT_EQ(item.selected, 0);
    EXPECT_EQ(item.sourceVersionText, "- not found -");
    EXPECT_EQ(item.sourceDetails, "");
    EXPECT_EQ(item.sourceName, "missing.src");
}

TEST_F(FileSections, MalformedEmptyAndLongLines) {
    WriteFileText(dir / "s", "x");
    EXPECT_EQ(list.ParseInstallSection(" \r\n ", 0, 0, 0, 0, variables, Dir()), 1);
    EXPECT_EQ(list.ParseDeleteSection("\r\n", 0, 0, variables), 1);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.ParseInstallSection("t=s\nno equals sign\nu=s", 0, 0, 0, 0, variables, Dir()), 0);

    // A path far beyond what the system accepts is kept whole and simply not found.
    list.items.clear();
    const std::string longTarget = dir / std::string(1000, 'x');
    ASSERT_EQ(list.ParseInstallSection(longTarget + "=" + dir / "s", 0, 0, 0, 0, variables, Dir()), 1);
    EXPECT_EQ(list.items[0].targetPath, longTarget);
    EXPECT_EQ(list.items[0].targetExists, 0);
    EXPECT_EQ(list.items[0].needsUpdate, 1);
}

TEST_F(FileSections, FieldsAreTrimmedThenExpandedThenCompleted) {
    WriteFileText(dir / "pkg.src", "x");
    variables.AddEntry("PKG", "", dir.path());
    variables.AddEntry("NAME", "", "bare.dll");
    ScriptedBoxes boxes({kAnswerCancel});
    ASSERT_EQ(list.ParseInstallSection(" %NAME% = %PKG%\\pkg.src \n%UNDEFINED%\\t.dll=%PKG%\\pkg.src",
                                       0, 0, 0, 0, variables, Dir()),
              1);
    ASSERT_EQ(list.ParseDeleteSection(" %NAME%\r", 0, 0, variables), 1);
    ASSERT_EQ(list.count(), 3);
    // A value without backslash is completed after expansion.
    EXPECT_EQ(list.items[0].targetPath, Dir() + "bare.dll");
    EXPECT_EQ(list.items[0].sourcePath, dir / "pkg.src");
    EXPECT_EQ(list.items[0].sourceExists, 1);
    // An undefined name is reported and the text stays as far as it was expanded.
    EXPECT_EQ(list.items[1].targetPath, "%UNDEFINED%\\t.dll");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("UNDEFINED"), std::string::npos);
    EXPECT_EQ(list.items[2].targetPath, Dir() + "bare.dll");
}

// Records the progress calls and confirms a Stop at a chosen poll.
class RecordingSink : public ProgressSink {
public:
    void ShowProgressLine(const std::string& text, int kind) override {
        calls.push_back("line " + std::to_string(kind) + " " + text);
    }
    void PollStop(int done, int total, int32_t& stop) override {
        calls.push_back("poll " + std::to_string(done) + "/" + std::to_string(total));
        stop = (++polls == stopAtPoll) ? 1 : 0;
    }
    std::vector<std::string> calls;
    int polls = 0;
    int stopAtPoll = 0;
};

TEST_F(FileSections, ProgressLinesPollsAndStop) {
    WriteFileText(dir / "s", "x");
    RecordingSink sink;
    SetProgressSink(&sink);
    const std::string d = Dir();
    EXPECT_EQ(list.ParseInstallSection("a=s\nb=s", 0, 0, 0, 0, variables, d), 1);
    const std::vector<std::string> expected = {
        "line 0 " + d + "a", "poll 1/2", "line 0 " + d + "s",
        "line 0 " + d + "b", "poll 2/2", "line 0 " + d + "s", "poll 0/2"};
    EXPECT_EQ(sink.calls, expected);

    // A Stop confirmed at the second item ends the section before it is read.
    sink.calls.clear();
    sink.polls = 0;
    sink.stopAtPoll = 2;
    list.items.clear();
    EXPECT_EQ(list.ParseInstallSection("a=s\nb=s\nc=s", 0, 0, 0, 0, variables, d), 0);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(sink.calls.back(), "poll 2/3");

    // Delete sections neither show nor poll.
    sink.calls.clear();
    EXPECT_EQ(list.ParseDeleteSection("a\nb", 0, 0, variables), 1);
    EXPECT_TRUE(sink.calls.empty());

    // A Stop already pending when a section starts.
    stopRequested = 1;
    EXPECT_EQ(list.ParseInstallSection("", 0, 0, 0, 0, variables, d), 0);
    EXPECT_EQ(list.ParseInstallSection("a=s", 0, 0, 0, 0, variables, d), 0);
    stopRequested = 0;
    SetProgressSink(nullptr);
}

}  // namespace
}  // namespace dp
