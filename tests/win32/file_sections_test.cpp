// The file sections read against real files: the version reader against the
// system's library, progress and Stop. The sections' order and flags, and
// what they read from real files and decide, are shown by
// file_decisions.scn.
#include <windows.h>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "base/run_flags.h"
#include "items/files/file_facts.h"
#include "items/files/file_texts.h"
#include "items/files/version_resource.h"
#include "support/pe_image_builder.h"
#include "test_support.h"

namespace dp {
namespace {

using test::CopyData;
using test::SetWriteTime;
using test::WriteFileText;

class FileSections : public ::testing::Test {
protected:
    void SetUp() override {
        stopRequested = 0;
        variables.programDirectory = Dir();
    }
    std::string Dir() const { return dir.path() + "\\"; }
    int Install(const std::string& text) { return list.ParseInstallSection(text, 0, 0, 0, 0, variables, Dir()); }
    int Delete(const std::string& text) { return list.ParseDeleteSection(text, 0, 0, variables); }

    test::ScratchDir dir;
    VariableTable variables;
    FileList list;
};

// The version facts read straight from images agree with the system's version
// library, on the test DLLs and on the system's own DLLs and programs.
TEST(VersionFacts, ImageReaderAgreesWithVersionLibrary) {
    std::vector<std::string> paths;
    for (const char* name :
         {"verdll_1000.dll", "verdll_two.dll", "verdll_none.dll", "comserver.dll", "win32_tests.exe"})
        paths.push_back(ProgramDirectory() + name);
    char system[MAX_PATH + 1] = {};
    GetSystemDirectoryA(system, sizeof system);
    for (const char* pattern : {"\\*.dll", "\\*.exe"}) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((std::string(system) + pattern).c_str(), &data);
        for (int taken = 0; find != INVALID_HANDLE_VALUE && taken < 150 && (taken == 0 || FindNextFileA(find, &data));
             ++taken)
            paths.push_back(std::string(system) + "\\" + data.cFileName);
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
    }
    int counts[3] = {};  // none, found, undecided
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::string bytes = test::ReadFileText(path);
        pe_test::MemoryReader reader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        std::vector<uint8_t> block;
        ++counts[static_cast<int>(FindImageVersionResource(reader, block))];
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
    // Both kinds the reader decides on itself were met.
    EXPECT_GT(counts[0], 0);
    EXPECT_GT(counts[1], 5);
}

TEST_F(FileSections, ProgressLinesPollsAndStop) {
    WriteFileText(dir / "s", "x");
    const std::string d = "0:" + Dir();
    {
        test::ProgressRecorder sink;
        EXPECT_EQ(Install("a=s\nb=s"), 1);
        EXPECT_EQ(sink.events, (std::vector<std::string>{d + "a", "1/2", d + "s", d + "b", "2/2", d + "s", "0/2"}));
        sink.events.clear();
        EXPECT_EQ(Delete("a\nb"), 1);  // delete sections neither show nor poll
        EXPECT_TRUE(sink.events.empty());
    }
    // A Stop confirmed at the second item ends the section before it is read.
    test::ProgressRecorder sink(2);
    list.items.clear();
    EXPECT_EQ(Install("a=s\nb=s\nc=s"), 0);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(sink.events.back(), "2/3");
    // A Stop already pending when a section starts.
    stopRequested = 1;
    EXPECT_EQ(Install(""), 0);
    EXPECT_EQ(Install("a=s"), 0);
    stopRequested = 0;
}

// Reading the next lines' files ahead, several at a time, decides every item
// as reading them in turn does: same facts, texts, rules, held bytes and
// boxes, in the same order, across the stretches read ahead; a missing
// source still ends the reading at its line.
TEST_F(FileSections, ReadingAheadDecidesAsReadingInTurn) {
    const std::string d = Dir();
    CreateDirectoryA((d + "t").c_str(), nullptr);
    CopyData("verdll_1000.dll", d + "v1.dll");
    CopyData("verdll_two.dll", d + "v2.dll");
    CopyData("verdll_1000.dll", d + "t\\v2.dll");
    WriteFileText(d + "big", std::string(20000, 'b'));
    std::string section;
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        WriteFileText(d + "s" + n, "source " + n);
        SetWriteTime(d + "s" + n, test::FileTimeOf(2024, 1, 1 + i % 28));
        if (i % 3) {
            WriteFileText(d + "t\\s" + n, "old");
            SetWriteTime(d + "t\\s" + n, test::FileTimeOf(2024, 1, 1 + (i * 7) % 28));
        }
        section += "%DEST%\\s" + n + "=%SRC%\\s" + n + (i % 50 == 7 ? ",Always" : "") + "\n";
        if (i == 100) section += "%NOPE%\\x=%SRC%\\s1\n";  // an undefined variable: its box in its turn
        if (i == 200) section += "%DEST%\\v1.dll=%SRC%\\v1.dll\n%DEST%\\v2.dll=%SRC%\\v2.dll\n%DEST%\\big=big\n";
        if (i == 270) section += "%DEST%\\gone=%SRC%\\gone\n";  // missing: the reading ends here
    }
    variables.AddEntry("SRC", dir.path(), dir.path());
    variables.AddEntry("DEST", d + "t", d + "t");
    const auto read = [&](bool ahead, bool everyTarget, std::vector<std::string>& boxes) {
        FileList fresh;
        fresh.readAhead = ahead;
        fresh.readEveryTarget = everyTarget;
        fresh.holdSmallSources = !everyTarget;
        test::BoxRecorder recorder;
        EXPECT_EQ(fresh.ParseInstallSection(section, 0, 0, 0, 0, variables, d), 0);
        boxes = recorder.boxes;
        return fresh;
    };
    for (bool everyTarget : {true, false}) {
        SCOPED_TRACE(everyTarget);
        std::vector<std::string> inTurnBoxes, aheadBoxes;
        const FileList inTurn = read(false, everyTarget, inTurnBoxes);
        const FileList ahead = read(true, everyTarget, aheadBoxes);
        EXPECT_EQ(aheadBoxes, inTurnBoxes);
        ASSERT_EQ(inTurnBoxes.size(), 2u);  // the undefined variable, the missing source
        ASSERT_EQ(ahead.items.size(), inTurn.items.size());
        EXPECT_EQ(inTurn.items.size(), 275u);
        for (size_t i = 0; i < inTurn.items.size(); ++i) {
            const FileItem& a = ahead.items[i];
            const FileItem& b = inTurn.items[i];
            SCOPED_TRACE(b.targetPath);
            EXPECT_EQ(std::make_tuple(a.targetPath, a.sourcePath, TargetVersionText(a), SourceVersionText(a),
                                      TargetDetails(a), SourceDetails(a)),
                      std::make_tuple(b.targetPath, b.sourcePath, TargetVersionText(b), SourceVersionText(b),
                                      TargetDetails(b), SourceDetails(b)));
            EXPECT_EQ(std::tie(a.targetExists, a.sourceExists, a.updateRule, a.needsUpdate, a.always),
                      std::tie(b.targetExists, b.sourceExists, b.updateRule, b.needsUpdate, b.always));
            EXPECT_EQ(a.heldSource ? a.heldSource->bytes : "-", b.heldSource ? b.heldSource->bytes : "-");
        }
    }
}

}  // namespace
}  // namespace dp
