// The install and end phases on real files, with the message boxes scripted
// and, where a full disk or a reboot cannot be produced on demand, the copy faked.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/install_progress.h"
#include "base/run_flags.h"
#include "engine/install_context.h"
#include "engine/install_phases_win32.h"
#include "engine/result_line.h"
#include "file_test_support.h"
#include "items/files/file_operations.h"
#include "base/system_text.h"
#include "resources/resource_ids.h"
#include "model/install_script.h"

namespace dp {
namespace {

using test::Exists;
using test::ReadFileText;
constexpr auto npos = std::string::npos;

const std::string kAfterCopyHeadings =
    "\r\n[AddShortCut]\r\n\r\n[DeleteFontSubstitutes]\r\n\r\n[SetFontSubstitutes]\r\n";
const std::string kEndHeadings = "\r\n[ComRegistration]\r\n\r\n[RunFileEnd]\r\n\r\n[DeleteFileEnd]\r\n";

std::vector<std::string> Lines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Compares the log with the lines written to it (as a text-mode file holds
// them) line by line, so that a difference names its line.
void ExpectLog(const std::string& log, const std::vector<std::string>& written) {
    std::string onDisk;
    for (const std::string& line : written)
        for (char c : line + "\n") onDisk += c == '\n' ? "\r\n" : std::string(1, c);
    const std::vector<std::string> got = Lines(log), want = Lines(onDisk);
    for (size_t i = 0; i < std::max(got.size(), want.size()); ++i)
        EXPECT_EQ(i < got.size() ? got[i] : "<none>", i < want.size() ? want[i] : "<none>") << "line " << i + 1;
}

// Whether the program's RunOnce entry exists; removes it, so that no later
// start of the Wine server runs the tests again.
bool TakeRunOnceEntry() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    const bool found = RegQueryValueExA(key, "Deployator", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegDeleteValueA(key, "Deployator");
    RegCloseKey(key);
    return found;
}

// The copy fake: call failOn fails with code (scheduled for the reboot or
// not); the others copy for real.
struct FakeCopyPlan {
    int failOn = 0;
    uint32_t code = 0;
    bool scheduled = false;
    bool cancelAfterSecond = false;  // Cancel pressed during the second copy
    int calls = 0;
} g_plan;

uint32_t FakeCopy(const std::string& source, const std::string& target, int32_t& scheduled,
                  const HeldContent* held) {
    if (++g_plan.calls == g_plan.failOn) {
        if (g_plan.scheduled) scheduled = 1;
        return g_plan.code;
    }
    const uint32_t code = CopyPackageFile(source, target, scheduled, held);
    if (g_plan.cancelAfterSecond && g_plan.calls == 2) installCancelled = 1;
    return code;
}

void UseFakeCopy(const FakeCopyPlan& plan) {
    g_plan = plan;
    SetCopyFunctionForTesting(FakeCopy);
}

// A package folder, a program folder, a script and scripted boxes (all OK).
struct Scene {
    test::ScratchDir dir;
    std::string pkg = dir / "pkg\\", app = dir / "app\\";
    InstallScript script{dir.path() + "\\"};
    test::ScriptedBoxes boxes;

    Scene() {
        CreateDirectoryA(pkg.c_str(), nullptr);
        CreateDirectoryA(app.c_str(), nullptr);
        script.logPath = dir / "install.log";
    }
    std::string Log() const { return ReadFileText(script.logPath); }

    FileItem& Add(const std::string& name) {
        FileItem& it = script.fileList.items.emplace_back();
        it.rowKey = script.fileList.count() - 1;
        it.targetName = name;
        it.targetPath = app + name;
        it.targetVersionText = "- not found -";
        it.needsUpdate = it.selected = 1;
        return it;
    }
    // An install item as the install sections record it (over `old` when given).
    FileItem& Install(const std::string& name, const std::string& data, std::optional<std::string> old = {},
                      const std::string& sourceVersion = "1.1.2024", const std::string& targetVersion = "1.1.2023") {
        FileItem& it = Add(name);
        it.sourceName = name;
        it.sourcePath = pkg + name;
        test::WriteFileText(it.sourcePath, data);
        it.sourceExists = 1;
        it.sourceVersionText = sourceVersion;
        it.sourceDetails = std::to_string(data.size()) + "; 1.1.2024";
        if (old) {
            test::WriteFileText(it.targetPath, *old);
            it.targetExists = 1;
            it.targetVersionText = targetVersion;
            it.targetDetails = std::to_string(old->size()) + "; 1.1.2023";
        }
        return it;
    }
    // A delete item as the delete sections record it.
    void Delete(const std::string& name, bool exists) {
        FileItem& it = Add(name);
        it.deleteItem = 1;
        it.sourcePath = it.sourceVersionText = it.sourceDetails = " ";
        it.sourceName = "- need to be deleted -";
        if (exists) {
            test::WriteFileText(it.targetPath, "old");
            it.targetExists = 1;
            it.targetVersionText = "1.1.2020";
            it.targetDetails = "3; 1.1.2020";
        }
    }
};

class EngineTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetCopyFunctionForTesting({});
        installCancelled = 0;
    }
};

TEST_F(EngineTest, FullShortAndNoneLogEveryHandledItemInOrder) {
    const std::string v1000 = ReadFileText(ProgramDirectory() + "verdll_1000.dll");
    const std::string v1001 = ReadFileText(ProgramDirectory() + "verdll_1001.dll");
    ASSERT_NE(v1000, "<missing>");
    for (LogLevel level : {LogLevel::Full, LogLevel::Short, LogLevel::None}) {
        SCOPED_TRACE(static_cast<int>(level));
        Scene r;
        r.Delete("old.txt", true);
        r.Delete("gone.txt", false);
        r.Install("core.dll", v1001, v1000, "1.0.0.1", "1.0.0.0");
        r.Install("readme.txt", "hello\n");
        FileItem& missing = r.Install("missing.dll", "", {}, "- not found -");  // marked although it cannot be
        DeleteFileA(missing.sourcePath.c_str());
        missing.sourceExists = missing.needsUpdate = 0;
        missing.sourceDetails = "";
        FileItem& upToDate = r.Install("same.txt", "package", "older");  // not marked: neither shown nor logged
        upToDate.needsUpdate = upToDate.selected = 0;
        r.Install("picked.txt", "picked", "older").needsUpdate = 0;
        r.Install("always.txt", "always", "older").always = 1;
        r.script.logLevel = level;
        InstallContext context(&r.script);
        ASSERT_EQ(context.RunInstallPhase(), 1);
        ASSERT_EQ(context.RunEndPhase(), 1);

        const std::string& a = r.app;
        const std::pair<const char*, std::string> onDisk[] = {
            {"old.txt", "<missing>"}, {"core.dll", v1001},       {"readme.txt", "hello\n"},
            {"missing.dll", "<missing>"}, {"same.txt", "older"}, {"picked.txt", "picked"}, {"always.txt", "always"}};
        for (const auto& [name, content] : onDisk) EXPECT_EQ(ReadFileText(a + name), content) << name;
        EXPECT_TRUE(r.boxes.shown.empty());
        EXPECT_EQ(r.script.rebootRequired, 0);
        if (level == LogLevel::None) {
            EXPECT_FALSE(Exists(r.script.logPath));
            continue;
        }
        const bool full = level == LogLevel::Full;
        auto copied = [&](const std::string& name, const std::string& old, const std::string& now,
                          const std::string& reason) {
            if (!full) return "Updated " + a + name + " (" + now + ") " + reason;
            if (old.empty()) return a + name + " (" + now + ") is installed";
            return a + name + " (" + old + ") is replaced by " + r.pkg + name + " (" + now + ") " + reason;
        };
        const std::string older = "1.1.2023; 5; 1.1.2023", now = "1.1.2024; 6; 1.1.2024";
        ExpectLog(r.Log(),
                  {"", "[RunFileFirst]", "", "[DeleteShortcuts]", "", "[DelRegEntries]", "", "[DelFilesFirst]",
                   full ? a + "old.txt (1.1.2020; 3; 1.1.2020) is deleted"
                        : "Updated " + a + "old.txt ( ;  ) [By rule]",
                   "Error deleting file " + a + "gone.txt. " + SystemErrorText(2), "", "[Copying file]",
                   copied("core.dll", "1.0.0.0; " + std::to_string(v1000.size()) + "; 1.1.2023",
                          "1.0.0.1; " + std::to_string(v1001.size()) + "; 1.1.2024", "[By rule]"),
                   copied("readme.txt", "", now, "[By rule]"),
                   "Error coping: source file not found " + r.pkg + "missing.dll",
                   copied("picked.txt", older, now, "[By user checked]"), copied("always.txt", older, now, ""), "",
                   "[AddShortCut]", "", "[DeleteFontSubstitutes]", "", "[SetFontSubstitutes]", "", "[ComRegistration]",
                   "", "[RunFileEnd]", "", "[DeleteFileEnd]"});
    }
}

// Five files; the copy of the third, which has an old target, fails.
TEST_F(EngineTest, FailedCopyOfTheThirdOfFive) {
    const struct {
        uint32_t code;
        bool scheduled;
        int32_t rebootBefore, rebootAfter;
        LogLevel level;
        const char* note;
    } cases[] = {
        // A full disk stops the phase there and cancels, with or without a log.
        {112, false, 0, 0, LogLevel::Short,
         " [There is not enough space on the disk. File is not installed], error code = 112"},
        {112, false, 0, 0, LogLevel::None, ""},
        // "[After Reboot]" only when the replacement was scheduled, even where
        // an earlier deletion already wants a reboot.
        {32, true, 0, 1, LogLevel::Short, " [After Reboot], error code = 32"},
        {32, true, 0, 1, LogLevel::None, ""},  // the in-use note goes to a box
        {5, false, 0, 0, LogLevel::Short, " [File is not installed], error code = 5"},
        {32, false, 1, 1, LogLevel::Short, " [File is not installed], error code = 32"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + c.note);
        Scene r;
        for (int i = 1; i <= 5; ++i)
            r.Install("f" + std::to_string(i) + ".txt", std::string(5, char('0' + i)),
                      i == 3 ? std::optional<std::string>("old third") : std::nullopt);
        r.script.logLevel = c.level;
        r.script.rebootRequired = c.rebootBefore;
        UseFakeCopy({.failOn = 3, .code = c.code, .scheduled = c.scheduled});
        // (Its new context clears the cancel flag a full disk set in the case before.)
        EXPECT_EQ(RunOrdinaryInstallWithoutWindows(r.script), 1);
        const bool stop = c.code == kErrorDiskFull;
        EXPECT_EQ(g_plan.calls, stop ? 3 : 5);
        EXPECT_EQ(installCancelled.load(), stop ? 1 : 0);
        EXPECT_EQ(r.script.rebootRequired, c.rebootAfter);
        EXPECT_EQ(TakeRunOnceEntry(), c.rebootAfter != 0);
        for (int i = 1; i <= 5; ++i)
            EXPECT_EQ(ReadFileText(r.app + "f" + std::to_string(i) + ".txt"),
                      i == 3 ? "old third" : i > 3 && stop ? "<missing>" : std::string(5, char('0' + i)));
        const std::string inUse = InUseCopyText(r.pkg + "f3.txt", r.app + "f3.txt", c.code);
        const bool inUseBox = c.scheduled && c.level == LogLevel::None;
        ASSERT_EQ(r.boxes.shown.size(), stop || inUseBox ? 1u : 0u);
        if (inUseBox)
            EXPECT_EQ(r.boxes.shown[0].caption + "|" + std::to_string(r.boxes.shown[0].style) + "|" +
                          r.boxes.shown[0].text, "Error|64|" + inUse);
        if (stop)
            EXPECT_EQ(r.boxes.shown[0].caption + "|" + std::to_string(r.boxes.shown[0].style) + "|" +
                          r.boxes.shown[0].text,
                      "|0|File " + r.pkg +
                          "f3.txt is not installed because there is not enough space on the disk.\n"
                          "Installation will be cancelled.\nPlease free disk space and run installation again.");
        const std::string log = r.Log();
        const std::string line = "Updated " + r.app + "f3.txt (1.1.2024; 5; 1.1.2024) [By rule]" + c.note;
        if (c.level == LogLevel::None) EXPECT_FALSE(Exists(r.script.logPath));
        else if (stop) EXPECT_TRUE(log.ends_with(line + "\r\n")) << log;
        else EXPECT_NE(log.find(line + "\r\n"), npos) << log;
        // A replacement left for the reboot is noted just before its line.
        if (c.scheduled && c.level != LogLevel::None)
            EXPECT_NE(log.find(inUse.substr(0, inUse.find(". ") + 2) + SystemErrorText(32).substr(0, 10)), npos) << log;
        // A reboot postpones the end phase to the start after the reboot.
        EXPECT_EQ(log.find("[ComRegistration]") != npos, c.level != LogLevel::None && !stop && c.rebootAfter == 0);
    }
}

TEST_F(EngineTest, CancelStopsBetweenItemsAndBetweenSteps) {
    Scene r;
    for (int i = 1; i <= 4; ++i) r.Install("c" + std::to_string(i) + ".txt", "new");
    UseFakeCopy({.cancelAfterSecond = true});
    InstallContext context(&r.script);
    EXPECT_EQ(context.RunInstallPhase(), 0);
    EXPECT_EQ(g_plan.calls, 2);
    EXPECT_TRUE(Exists(r.app + "c2.txt"));
    EXPECT_FALSE(Exists(r.app + "c3.txt"));
    EXPECT_NE(r.Log().find("c2.txt"), npos);
    EXPECT_EQ(r.Log().find("[AddShortCut]"), npos);
    EXPECT_TRUE(r.boxes.shown.empty());

    // Cancelled before the phase starts: nothing at all is done.
    installCancelled = 1;
    DeleteFileA(r.script.logPath.c_str());
    EXPECT_EQ(context.RunInstallPhase(), 0);
    EXPECT_EQ(r.Log().find('['), npos);
    EXPECT_FALSE(Exists(r.app + "c3.txt"));
}

TEST_F(EngineTest, LogThatCannotBeOpened) {
    Scene r;
    r.Install("a.txt", "a");
    r.script.logPath = r.dir / "no such folder\\install.log";
    InstallContext context(&r.script);
    EXPECT_EQ(context.RunInstallPhase(), 0);
    ASSERT_EQ(r.boxes.shown.size(), 1u);
    EXPECT_EQ(r.boxes.shown[0].caption + "|" + std::to_string(r.boxes.shown[0].style) + "|" + r.boxes.shown[0].text,
              "Error|0|Error of creation log file");
    EXPECT_FALSE(Exists(r.app + "a.txt"));
    EXPECT_EQ(context.RunEndPhase(), 0);  // gives up without a word
    EXPECT_EQ(r.boxes.shown.size(), 1u);
}

TEST_F(EngineTest, LogIsCutToItsLimitAfterEachPhase) {
    Scene r;
    r.script.logLevel = LogLevel::Full;
    r.script.logSizeKB = 1;
    test::WriteFileText(r.script.logPath, std::string(5000, 'x'));
    InstallContext context(&r.script);
    ASSERT_EQ(context.RunInstallPhase(), 1);
    EXPECT_EQ(r.Log().size(), 1024u);
    EXPECT_EQ(r.Log()[0], 'x');
    EXPECT_TRUE(r.Log().ends_with(kAfterCopyHeadings));
    ASSERT_EQ(context.RunEndPhase(), 1);  // writes 60 bytes more, and the cut moves them in
    EXPECT_EQ(r.Log().size(), 1024u);
    EXPECT_TRUE(r.Log().ends_with(kAfterCopyHeadings + kEndHeadings));
}

TEST_F(EngineTest, AfterRebootEndPhaseWritesItsHeading) {
    Scene r;
    r.script.afterReboot = 1;
    InstallContext context(&r.script);
    ASSERT_EQ(context.RunEndPhase(), 1);
    EXPECT_EQ(r.Log(), "\r\n[After Reboot]\r\n" + kEndHeadings);
}

// A progress display that records what it was asked to show.
struct RecordedProgress : InstallProgress {
    std::vector<std::string> sections, sources, targets, positions;
    void ShowSection(const std::string& text) override { sections.push_back(text); }
    void ShowPaths(const std::string& source, const std::string& target) override {
        sources.push_back(source);
        targets.push_back(target);
    }
    void SetPosition(int percent) override { positions.push_back(std::to_string(percent)); }
    void Close() override {}
};

TEST_F(EngineTest, ProgressShowsMarkedItemsAndMovesForEveryItem) {
    Scene r;
    r.Install("p1.txt", "1");
    FileItem& skip = r.Install("p2.txt", "2", "o");  // up to date: not marked
    skip.selected = skip.needsUpdate = 0;
    r.Install("p3.txt", "3");
    r.Delete("p4.txt", true);
    RecordedProgress shown;
    InstallContext context(&r.script);
    context.progress = &shown;
    EXPECT_EQ(context.RunInstallPhase(), 1);

    using Texts = std::vector<std::string>;
    // The delete item in its loop (no source), then the marked install items.
    EXPECT_EQ(shown.sources, (Texts{" ", r.pkg + "p1.txt", r.pkg + "p3.txt"}));
    EXPECT_EQ(shown.targets, (Texts{r.app + "p4.txt", r.app + "p1.txt", r.app + "p3.txt"}));
    EXPECT_EQ(shown.positions, (Texts{"0", "0", "25", "50", "75"}));
    EXPECT_EQ(shown.sections,
              (Texts{"[RunFileFirst]", "[DeleteShortcuts]", "[DelRegEntries]", "[DelFilesFirst]", "[InstallFiles]",
                     "[Delete/CreateDirectory]", "[InstallRegEntries]", "[AddShortCut]", "[DeleteFontSubstitutes]",
                     "[SetFontSubstitutes]"}));
    EXPECT_EQ(r.Log().find("p2.txt"), npos);
}

}  // namespace
}  // namespace dp
