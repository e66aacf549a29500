#include "app/unattended.h"

#include <gtest/gtest.h>

#include "engine/install_plan.h"
#include "items/files/update_rule.h"
#include "log/message_box.h"
#include "model/install_script.h"

namespace dp {
namespace {

TEST(Unattended, ModeExitCodesBoxesAndSummary) {
    EXPECT_TRUE(ReadRunMode("-C=A.INI -QUIET").quiet);
    EXPECT_FALSE(ReadRunMode("-C=A.INI -Q").quiet);
    EXPECT_EQ(ReadRunMode("-PLAN=D:\\OUT PUT\\P.TSV -C=A.INI").plan.value_or("-"), "D:\\OUT PUT\\P.TSV");
    EXPECT_FALSE(ReadRunMode("-C=A.INI").plan);

    const auto code = [](bool read, bool cancelled, bool reboot, int32_t failed, int32_t boxes = 0) {
        RunOutcome o{read, cancelled, reboot, {}, boxes};
        o.tally.failed = failed;
        return DeploymentExitCode(o);
    };
    EXPECT_EQ(code(true, false, false, 0), kExitSuccess);
    EXPECT_EQ(code(true, false, true, 0), kExitRebootRequired);
    EXPECT_EQ(code(true, false, true, 1), kExitFailure);  // a failure outweighs the reboot
    EXPECT_EQ(code(true, true, false, 0), kExitFailure);  // the disk filled
    EXPECT_EQ(code(false, false, false, 0), kExitFailure);
    EXPECT_EQ(code(true, false, false, 0, 1), kExitFailure);  // a box reported a failure

    EXPECT_EQ(QuietAnswer(kBoxOk | kBoxIconInformation), kAnswerOk);
    EXPECT_EQ(QuietAnswer(kBoxOkCancel), kAnswerOk);  // the missing-source prompt ends the reading
    EXPECT_EQ(QuietAnswer(kBoxYesNo | kBoxIconQuestion), kAnswerNo);
    EXPECT_EQ(QuietBoxLine("Error", "Error open reg file C:\\Setup\\app.reg", kAnswerOk),
              "[Message] Error: Error open reg file C:\\Setup\\app.reg -> OK\n");
    EXPECT_EQ(QuietBoxLine("", "Two\nlines.\r\n", kAnswerCancel), "[Message] Two lines. -> Cancel\n");

    RunTally t;
    t.done = 3;
    t.upToDate = 1;
    t.scheduled = 1;
    EXPECT_EQ(SummaryLine(t, 3010),
              "Summary: 3 done, 1 up to date, 0 failed, 1 scheduled for the reboot, exit code 3010\n");
}

TEST(InstallPlan, EveryFamilyInTheOrderOfThePhases) {
    InstallScript s("C:\\Setup\\");
    auto file = [&](const char* target, bool del, bool selected, bool targetExists, UpdateRule rule) -> FileItem& {
        FileItem& it = s.fileList.items.emplace_back();
        it.targetPath = target;
        it.deleteItem = del;
        it.selected = selected;
        it.targetExists = targetExists;
        it.sourceExists = rule != UpdateRule::SourceMissing;
        it.sourcePath = del ? " " : std::string("D:\\Pkg\\") + (target + 3);
        it.updateRule = static_cast<uint8_t>(rule);
        it.targetVersionText = targetExists ? "1.0.0.0" : "- not found -";
        it.targetDetails = targetExists ? "100; 1.1.2023" : "";
        it.sourceVersionText = "2.0.0.0";
        it.sourceDetails = "200; 1.6.2024";
        return it;
    };
    file("C:\\old.dll", true, true, true, UpdateRule::TargetMissing);
    file("C:\\new.dll", false, true, false, UpdateRule::TargetMissing).registerFile = 1;
    file("C:\\cur.dll", false, false, true, UpdateRule::SameOrOlder);
    file("C:\\gone.dll", false, false, false, UpdateRule::SourceMissing);
    file("C:\\f.ttf", false, true, true, UpdateRule::HigherVersion).font = 1;
    s.runList.commands = {"first.exe", "last.exe"};
    s.runList.shellFlags = {0, 1};
    s.runList.phases = {kRunPhaseFirst, kRunPhaseEnd};
    s.runList.waitFlags = {1, 0};
    s.runList.expectedCodes = {0, kNoExpectedCode};
    s.regEntries.Add(kRegDword, "HKCU\\Software\\X", "", "1a");
    s.regEntries.Add(kRegBinary, "HKCU\\Software\\X", "Bytes", std::string("\x01\x00\xff", 3));
    s.regKeys.keyPaths = {"HKCU\\Software\\Old"};
    s.shortcutList.linkPaths = {"C:\\Menu\\New", "C:\\Menu\\Cur"};
    s.shortcutList.targetPaths = {"C:\\new.dll", "C:\\cur.dll"};  // only the installed one is made
    s.deleteShortcutList.linkPaths = {"C:\\Menu\\Old"};
    s.directoryList.paths = {"C:\\Data\\", "C:\\Cache"};
    s.directoryList.isDelete = {0, 1};
    s.setFontSubstitutes.names = {"Serif"};
    s.setFontSubstitutes.values = {std::string("Sans")};
    s.deleteFontSubstitutes.names = {"Old"};
    s.deleteFilesEndList.paths = {"C:\\setup.tmp"};

    const std::string header =
        "step\taction\ttarget\tsource\ttarget version\ttarget size\ttarget date\t"
        "source version\tsource size\tsource date\treason\n";
    EXPECT_EQ(FormatPlan(BuildInstallPlan(s)),
              header +
                  "[RunFileFirst]\trun\tfirst.exe\t\t\t\t\t\t\t\twaited for, exit code 0 expected\n"
                  "[DeleteShortcuts]\tdelete shortcut\tC:\\Menu\\Old.lnk\t\t\t\t\t\t\t\t\n"
                  "[DelRegEntries]\tdelete key\tHKCU\\Software\\Old\t\t\t\t\t\t\t\t\n"
                  "[DelFilesFirst]\tdelete\tC:\\old.dll\t\t1.0.0.0\t100\t1.1.2023\t\t\t\tlisted\n"
                  "[InstallFiles]\tinstall\tC:\\new.dll\tD:\\Pkg\\new.dll\t- not found -\t\t\t2.0.0.0\t200\t1.6.2024\ttarget missing\n"
                  "[InstallFiles]\tkeep\tC:\\cur.dll\tD:\\Pkg\\cur.dll\t1.0.0.0\t100\t1.1.2023\t2.0.0.0\t200\t1.6.2024\tsame or older\n"
                  "[InstallFiles]\tmissing source\tC:\\gone.dll\tD:\\Pkg\\gone.dll\t- not found -\t\t\t2.0.0.0\t200\t1.6.2024\tsource missing\n"
                  "[InstallFiles]\treplace\tC:\\f.ttf\tD:\\Pkg\\f.ttf\t1.0.0.0\t100\t1.1.2023\t2.0.0.0\t200\t1.6.2024\thigher version\n"
                  "[InstallFiles]\tadd font\tC:\\f.ttf\tD:\\Pkg\\f.ttf\t1.0.0.0\t100\t1.1.2023\t2.0.0.0\t200\t1.6.2024\t\n"
                  "[Delete/CreateDirectory]\tcreate directory\tC:\\Data\\\t\t\t\t\t\t\t\t\n"
                  "[Delete/CreateDirectory]\tdelete directory\tC:\\Cache\t\t\t\t\t\t\t\t\n"
                  "[InstallRegEntries]\twrite value\tHKCU\\Software\\X\\@\t1a\t\t\t\t\t\t\tREG_DWORD\n"
                  "[InstallRegEntries]\twrite value\tHKCU\\Software\\X\\Bytes\t01,00,ff\t\t\t\t\t\t\tREG_BINARY\n"
                  "[AddShortCut]\tcreate shortcut\tC:\\Menu\\New.lnk\tC:\\new.dll\t\t\t\t\t\t\t\n"
                  "[DeleteFontSubstitutes]\tdelete substitute\tOld\t\t\t\t\t\t\t\t\n"
                  "[SetFontSubstitutes]\tset substitute\tSerif\tSans\t\t\t\t\t\t\t\n"
                  "[ComRegistration]\tregister\tC:\\new.dll\tD:\\Pkg\\new.dll\t- not found -\t\t\t2.0.0.0\t200\t1.6.2024\t\n"
                  "[RunFileEnd]\topen\tlast.exe\t\t\t\t\t\t\t\t\n"
                  "[DeleteFileEnd]\tdelete\tC:\\setup.tmp\t\t\t\t\t\t\t\t\n");
}

}  // namespace
}  // namespace dp
