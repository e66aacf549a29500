// Program runs under Wine, with runhelper.exe (built beside the tests) as the
// program: exit codes and their boxes, programs not waited for, shell opens,
// a Cancel during a run, a planted program on a path with blanks, and the
// place of both sections in the install and end phases.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <thread>

#include "base/run_flags.h"
#include "base/system_text.h"
#include "engine/install_context.h"
#include "file_test_support.h"
#include "items/program_runs.h"
#include "model/install_script.h"
#include "script/variable_table.h"

namespace dp {
namespace {

using test::Exists;
using test::ReadFileText;

// Waits (up to a minute) for a file that a program not waited for writes.
bool AppearsSoon(const std::string& path) {
    for (int i = 0; i < 3000 && !Exists(path); ++i) Sleep(20);
    return Exists(path);
}

class ProgramRuns : public ::testing::Test {
protected:
    void SetUp() override {
        stopRequested = 0;
        variables.AddEntry("HELPER", "", helper);
        variables.AddEntry("REC", "", record);
        variables.AddEntry("DIR", "", dir.path());
    }
    // Runs the phase with a log at the full level; returns RunFiles' result.
    int Run(int phase) {
        std::FILE* log = std::fopen(logPath.c_str(), "a+");
        StepContext step{log, LogLevel::Full, variables, files, reboot, cancelled};
        const int result = RunFiles(list, phase, step);
        std::fclose(log);
        return result;
    }
    std::string Recorded() const { return ReadFileText(record); }
    std::string Log() const { return ReadFileText(logPath); }
    std::string Boxes() const {
        std::string all;
        for (const auto& box : boxes.shown) all += box.caption + "|" + box.text + "\n";
        return all;
    }

    test::ScratchDir dir;
    std::string helper = ProgramDirectory() + "runhelper.exe";
    std::string record = dir / "record.txt", logPath = dir / "install.log";
    VariableTable variables;
    RunFileList list;
    FileList files;
    int32_t reboot = 0;
    std::atomic<uint8_t> cancelled{0};
    test::ScriptedBoxes boxes;
};

TEST_F(ProgramRuns, WaitedProgramsAreCheckedAgainstTheirExpectedCodes) {
    ASSERT_EQ(ParseRunFiles(list,
                            "Ok=%HELPER% code=0 record=%REC% tag=ok!OnQueue!0\r\n"
                            "Still=%HELPER% code=259 record=%REC% tag=still!OnQueue! 259\r\n"
                            "Missing=%DIR%\\missing.exe /s!OnQueue!0\r\n"
                            "Unchecked=%HELPER% code=7 record=%REC% tag=unchecked!OnQueue\r\n"
                            "Wrong=%HELPER% code=259 record=%REC% tag=wrong!OnQueue!0\r\n"
                            "Later=%HELPER% code=0 record=%REC% tag=later!OnQueue!0",
                            kRunPhaseFirst, variables),
              1);
    ASSERT_EQ(ParseRunFiles(list, "End=%HELPER% record=%REC% tag=end!OnQueue!0", kRunPhaseEnd, variables), 1);
    const std::string h = helper + " ", r = " record=" + record;

    // 259 is an exit code like any other: the wait ends with the process.
    EXPECT_EQ(Run(kRunPhaseFirst), 259);
    EXPECT_EQ(Recorded(), "ok in " + helper + "\r\nstill in " + helper + "\r\nunchecked in " + helper +
                              "\r\nwrong in " + helper + "\r\n");
    const std::string wrong = h + "code=259" + r + " tag=wrong has wrong return code (expected - 0, received - 259)."
                                                   "\nInstallation was not completed";
    EXPECT_EQ(Boxes(), "Error|Error runing file " + dir.path() + "\\missing.exe /s. " + SystemErrorText(2) + "\n" +
                           "|" + wrong + ".\n");
    std::string logged = "Running file " + h + "code=0" + r + " tag=ok.\nRunning file " + h + "code=259" + r +
                         " tag=still.\nRunning file " + h + "code=7" + r + " tag=unchecked.\n" + wrong;
    for (size_t at = 0; (at = logged.find('\n', at)) != std::string::npos; at += 2) logged.insert(at, "\r");
    EXPECT_EQ(Log(), logged);

    EXPECT_EQ(Run(kRunPhaseEnd), 1);
    EXPECT_TRUE(Recorded().ends_with("wrong in " + helper + "\r\nend in " + helper + "\r\n"));
}

TEST_F(ProgramRuns, ProgramsNotWaitedForAreLeftRunning) {
    const std::string gate = dir / "gate";
    test::WriteFileText(gate, "");
    ASSERT_EQ(ParseRunFiles(list,
                            "Free=%HELPER% record=%REC% tag=free gate=%DIR%\\gate\r\n"
                            // "!!" expects 0 but does not wait, so nothing is checked.
                            "Bangs=%HELPER% code=3 record=%DIR%\\bangs.txt tag=bangs gate=%DIR%\\gate!!",
                            kRunPhaseFirst, variables),
              1);
    {
        test::LockedFile held(gate);
        ASSERT_TRUE(held.ok());
        EXPECT_EQ(Run(kRunPhaseFirst), 1);
        EXPECT_FALSE(Exists(record));  // both still wait for the gate
        EXPECT_FALSE(Exists(dir / "bangs.txt"));
    }
    EXPECT_TRUE(AppearsSoon(record));
    EXPECT_TRUE(AppearsSoon(dir / "bangs.txt"));
    EXPECT_EQ(Boxes(), "");
    const std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
}

TEST_F(ProgramRuns, CancelEndsTheRunsOnceTheRunningProgramHasReturned) {
    const std::string gate = dir / "gate";
    test::WriteFileText(gate, "");
    ASSERT_EQ(ParseRunFiles(list,
                            "First=%HELPER% record=%REC% tag=first hello=%DIR%\\hello gate=%DIR%\\gate!OnQueue!0\r\n"
                            "Second=%HELPER% record=%REC% tag=second!OnQueue!0",
                            kRunPhaseFirst, variables),
              1);
    std::optional<test::LockedFile> held(std::in_place, gate);
    int result = 0;
    std::thread runs([&] { result = Run(kRunPhaseFirst); });
    const bool started = AppearsSoon(dir / "hello");
    cancelled = 1;  // while the first program waits for the gate
    held.reset();
    runs.join();
    ASSERT_TRUE(started);
    EXPECT_EQ(result, 1);
    // The first program ran to its end; the second was never started.
    EXPECT_EQ(Recorded(), "first in " + helper + "\r\n");
}

// Shell opens: a document type registered for runhelper.exe, and one without
// any program. The classes are removed again whatever happens.
TEST_F(ProgramRuns, ShellOpensDocumentsWithTheirProgramOrSaysWhyNot) {
    const std::string ext = ".dprun" + std::to_string(GetCurrentProcessId()), type = "dprun.test" + ext;
    struct Classes {
        std::string ext, type;
        ~Classes() {
            RegDeleteTreeA(HKEY_CLASSES_ROOT, ext.c_str());
            RegDeleteTreeA(HKEY_CLASSES_ROOT, type.c_str());
        }
    } classes{ext, type};
    const std::string open = "\"" + helper + "\" record=" + record + " tag=shell \"%1\"";
    const std::string command = type + "\\shell\\open\\command";
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ext.c_str(), REG_SZ, type.c_str(), static_cast<DWORD>(type.size())),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, command.c_str(), REG_SZ, open.c_str(), static_cast<DWORD>(open.size())),
              ERROR_SUCCESS);
    const std::string doc = dir / ("doc" + ext), orphan = dir / "doc.dpnone";
    test::WriteFileText(doc, "");
    test::WriteFileText(orphan, "");
    ASSERT_EQ(ParseRunFiles(list,
                            "RunShellFile1=" + doc + "!OnQueue!5\r\n"  // neither waited for nor checked
                            "MyRunShellFile=" + orphan + "\r\nRunShellFile3=" + dir.path() + "\\missing" + ext,
                            kRunPhaseEnd, variables),
              1);
    EXPECT_EQ(Run(kRunPhaseEnd), 1);
    EXPECT_TRUE(AppearsSoon(record));
    EXPECT_EQ(Recorded(), "shell in " + helper + "\r\n");
    const std::string noProgram = "Error runing file - " + orphan + ". ShellExecute return code = 31",
                      missing = "Error runing file - " + dir.path() + "\\missing" + ext +
                                ". ShellExecute return code = 2";
    EXPECT_EQ(Boxes(), "|" + noProgram + ".\n|" + missing + ".\n");
    EXPECT_EQ(Log(), "Running file " + doc + ".\r\n" + noProgram + missing);
}

// "C:\Program Files\...\tool.exe" is not to be read as C:\Program.exe with
// arguments, even where such a program has been planted.
TEST_F(ProgramRuns, PlantedProgramOnTheWayToAPathWithBlanksNeverRuns) {
    const std::string folder = "C:\\Program Files\\dp-runs-" + std::to_string(GetCurrentProcessId());
    struct Planted {
        std::string folder;
        ~Planted() {
            DeleteFileA("C:\\Program.exe");
            DeleteFileA((folder + "\\tool.exe").c_str());
            RemoveDirectoryA(folder.c_str());
        }
    } planted{folder};
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    test::CopyData("runhelper.exe", "C:\\Program.exe");
    test::CopyData("runhelper.exe", folder + "\\tool.exe");
    ASSERT_EQ(ParseRunFiles(list,
                            "Tool=" + folder + "\\tool.exe record=%REC% tag=exe!OnQueue!0\r\n" +  //
                                "Bare=" + folder + "\\tool record=%REC% tag=bare!OnQueue!0",
                            kRunPhaseFirst, variables),
              1);
    EXPECT_EQ(Run(kRunPhaseFirst), 1);
    EXPECT_EQ(Recorded(), "exe in " + folder + "\\tool.exe\r\nbare in " + folder + "\\tool.exe\r\n");
    EXPECT_EQ(Boxes(), "");
    // The log shows the commands as the script wrote them.
    EXPECT_EQ(Log(), "Running file " + folder + "\\tool.exe record=" + record + " tag=exe.\r\nRunning file " +
                         folder + "\\tool record=" + record + " tag=bare.\r\n");
}

// In the phases: a wrong code ends the first runs but not the install; the
// last runs come after COM registration and before the end-phase deletions.
TEST_F(ProgramRuns, WrongCodeEndsOnlyTheRunsOfItsPhase) {
    InstallScript script(dir.path() + "\\");
    script.logPath = logPath;
    const std::string last = dir / "last.txt";
    test::WriteFileText(last, "");
    ASSERT_EQ(ParseRunFiles(script.runList,
                            "A=%HELPER% code=3 record=%REC% tag=a!OnQueue!0\r\nB=%HELPER% record=%REC% tag=b",
                            kRunPhaseFirst, variables),
              1);
    ASSERT_EQ(ParseRunFiles(script.runList, "E=%HELPER% record=%REC% tag=e probe=%DIR%\\last.txt!OnQueue!0",
                            kRunPhaseEnd, variables),
              1);
    script.deleteFilesEndList.paths = {last};
    InstallContext context(&script);
    EXPECT_EQ(context.RunInstallPhase(), 1);
    EXPECT_EQ(context.RunEndPhase(), 1);
    EXPECT_EQ(Recorded(), "a in " + helper + "\r\ne 1 in " + helper + "\r\n");
    EXPECT_FALSE(Exists(last));
    const std::string log = Log();
    EXPECT_NE(log.find("(expected - 0, received - 3).\r\nInstallation was not completed\r\n[DeleteShortcuts]"),
              std::string::npos)
        << log;
    const size_t com = log.find("[ComRegistration]"), ran = log.find("Running file"),
                 deleted = log.find("[DeleteFileEnd]\r\nDeleting file " + last + ".");
    EXPECT_TRUE(com < ran && ran < deleted && deleted != std::string::npos) << log;
    EXPECT_EQ(boxes.shown.size(), 1u);
}

}  // namespace
}  // namespace dp
