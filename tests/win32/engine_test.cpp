// The install and end phases on real files, with the message boxes recorded
// and, where a full disk or a refused reboot cannot be produced on demand,
// the copy faked. What each log level writes, Cancel mid-copy and the
// after-reboot run are shown by the scenarios log_levels.scn, cancel_*.scn
// and after_reboot.scn.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/install_progress.h"
#include "base/run_flags.h"
#include "base/system_text.h"
#include "engine/install_context.h"
#include "engine/install_phases_win32.h"
#include "items/files/file_items.h"
#include "items/files/file_texts.h"
#include "items/files/result_line.h"
#include "items/files/file_operations.h"
#include "model/install_script.h"
#include "test_support.h"

namespace dp {
namespace {

using test::Exists;
using test::ReadFileText;
using Texts = std::vector<std::string>;
constexpr auto npos = std::string::npos;
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// A package folder, a program folder, a script and recorded boxes (all OK).
struct Scene {
    test::ScratchDir dir;
    std::string pkg = dir / "pkg\\", app = dir / "app\\";
    InstallScript script{dir.path() + "\\"};
    test::BoxRecorder boxes;

    Scene() {
        CreateDirectoryA(pkg.c_str(), nullptr);
        CreateDirectoryA(app.c_str(), nullptr);
        script.logPath = dir / "install.log";
    }
    std::string Log() const { return ReadFileText(script.logPath); }

    // The facts of a file of this size dated 1 January of the year.
    static FileFacts Dated(size_t size, int year) {
        FileFacts f;
        f.factsOk = 1;
        f.size = size;
        f.lastWriteTime = test::FileTimeOf(year, 1, 1);
        return f;
    }

    FileItem& Add(const std::string& name) {
        FileItem& it = script.fileList.items.emplace_back();
        it.rowKey = script.fileList.count() - 1;
        it.targetPath = app + name;
        it.targetShown = static_cast<uint8_t>(FileShown::kNotFound);
        it.needsUpdate = it.selected = 1;
        return it;
    }
    // An install item as the install sections record it (over `old` when given).
    FileItem& Install(const std::string& name, const std::string& data, std::optional<std::string> old = {}) {
        FileItem& it = Add(name);
        it.sourcePath = pkg + name;
        test::WriteFileText(it.sourcePath, data);
        it.sourceExists = 1;
        ShowSourceFacts(it, Dated(data.size(), 2024), "", true);
        if (old) {
            test::WriteFileText(it.targetPath, *old);
            it.targetExists = 1;
            ShowTargetFacts(it, Dated(old->size(), 2023), "", true);
        }
        return it;
    }
    // A delete item as the delete sections record it.
    void Delete(const std::string& name, bool exists) {
        FileItem& it = Add(name);
        it.deleteItem = 1;
        it.sourcePath = " ";
        it.sourceShown = static_cast<uint8_t>(FileShown::kBlank);
        if (exists) {
            test::WriteFileText(it.targetPath, "old");
            it.targetExists = 1;
            ShowTargetFacts(it, Dated(3, 2020), "", true);
        }
    }
};

// The copy fake: the copy to file number failOn ("f3.txt") fails with code
// (scheduled for the reboot or not); the others copy for real (those of new
// targets ahead of their turn, in a quiet run).
struct FakeCopyPlan {
    int failOn = 0;
    uint32_t code = 0;
    bool scheduled = false;
    int calls = 0;  // of the failing one
} g_plan;

uint32_t FakeCopy(const std::string& source, const std::string& target, int32_t& scheduled, const HeldContent* held,
                  CopyDetails* details) {
    if (!target.ends_with("\\f" + std::to_string(g_plan.failOn) + ".txt"))
        return CopyPackageFile(source, target, scheduled, held, details);
    ++g_plan.calls;
    scheduled = g_plan.scheduled;
    return g_plan.code;
}

// Five files; the copy of the third, which has an old target, fails.
TEST(Engine, FailedCopyOfTheThirdOfFive) {
    test::RegValueScope noRunOnce(HKEY_LOCAL_MACHINE, kRunOnce, "Deployator", std::nullopt);
    test::Replaced<CopyFunction> fake(SetCopyFunctionForTesting, FakeCopy);
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
        g_plan = {.failOn = 3, .code = c.code, .scheduled = c.scheduled};
        // (Its new context clears the cancel flag a full disk set in the case before.)
        EXPECT_EQ(RunOrdinaryInstallWithoutWindows(r.script), 1);
        const bool stop = c.code == kErrorDiskFull;
        // A full disk is tried once more when files made ahead for the later
        // items have given their room back.
        EXPECT_EQ(g_plan.calls, stop ? 2 : 1);
        EXPECT_EQ(installCancelled.load(), stop ? 1 : 0);
        EXPECT_EQ(r.script.rebootRequired, c.rebootAfter);
        EXPECT_EQ(test::ReadRegValue(HKEY_LOCAL_MACHINE, kRunOnce, "Deployator").type != 0, c.rebootAfter != 0);
        test::WriteRegValue(HKEY_LOCAL_MACHINE, kRunOnce, "Deployator", {});
        for (int i = 1; i <= 5; ++i)
            EXPECT_EQ(ReadFileText(r.app + "f" + std::to_string(i) + ".txt"),
                      i == 3 ? "old third" : i > 3 && stop ? "<missing>" : std::string(5, char('0' + i)));
        const std::string inUseHead = "Error of a copying file " + r.pkg + "f3.txt to " + r.app + "f3.txt. ";
        const std::string inUse = inUseHead + SystemErrorText(c.code) + "\n";
        Texts boxes;
        // A note, not an error: a quiet run does not count it as one.
        if (c.scheduled && c.level == LogLevel::None)
            boxes = {"Error|" + inUse + "|" + std::to_string(kBoxIconInformation | kBoxNotAnError)};
        if (stop)
            boxes = {"|File " + r.pkg +
                     "f3.txt is not installed because there is not enough space on the disk.\n"
                     "Installation will be cancelled.\nPlease free disk space and run installation again.|0"};
        EXPECT_EQ(r.boxes.boxes, boxes);
        const std::string log = r.Log();
        const std::string line = "Updated " + r.app + "f3.txt (1.1.2024; 5; 1.1.2024) [By rule]" + c.note;
        if (c.level == LogLevel::None) EXPECT_FALSE(Exists(r.script.logPath));
        else if (stop) EXPECT_TRUE(log.ends_with(line + "\r\n")) << log;
        else EXPECT_NE(log.find(line + "\r\n"), npos) << log;
        // A replacement left for the reboot is noted just before its line.
        if (c.scheduled && c.level != LogLevel::None)
            EXPECT_NE(log.find(inUseHead + SystemErrorText(32).substr(0, 10)), npos) << log;
        // A reboot postpones the end phase to the start after the reboot.
        EXPECT_EQ(log.find("[ComRegistration]") != npos, c.level != LogLevel::None && !stop && c.rebootAfter == 0);
    }
    installCancelled = 0;
}

// A Cancel that comes before the phase starts leaves everything as it was.
// (A log that cannot be made, and the log's limit, are shown by
// log_and_messages.scn and reboot_later.scn.)
TEST(Engine, NothingIsDoneWhenCancelledBeforeTheStart) {
    Scene r;
    r.Install("a.txt", "a");
    InstallContext context(&r.script);
    installCancelled = 1;
    EXPECT_EQ(context.RunInstallPhase(), 0);
    installCancelled = 0;
    EXPECT_EQ(r.Log().find('['), npos);
    EXPECT_FALSE(Exists(r.app + "a.txt"));
}

// A progress display that records what it was asked to show.
struct RecordedProgress : InstallProgress {
    Texts sections, sources, targets, positions;
    void ShowSection(const std::string& text) override { sections.push_back(text); }
    void ShowPaths(const std::string& source, const std::string& target) override {
        sources.push_back(source);
        targets.push_back(target);
    }
    void SetPosition(int percent) override { positions.push_back(std::to_string(percent)); }
    void Close() override {}
};

TEST(Engine, ProgressShowsMarkedItemsAndMovesForEveryItem) {
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
