// What the end-to-end scenario (program_runs.scn) cannot show: a program not
// waited for (runhelper.exe, built beside the tests) is left running.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "file_test_support.h"
#include "items/files/file_list.h"
#include "items/program_runs.h"
#include "script/variable_table.h"

namespace dp {
namespace {

TEST(ProgramRuns, ProgramsNotWaitedForAreLeftRunning) {
    test::ScratchDir dir;
    test::ScriptedBoxes boxes;
    const std::string gate = dir / "gate", record = dir / "record.txt", logPath = dir / "log";
    test::WriteFileText(gate, "");
    VariableTable variables;
    variables.AddEntry("RUN", "", ProgramDirectory() + "runhelper.exe record=" + record + " gate=" + gate);
    RunFileList list;
    // "!!" expects 0 but does not wait, so the code 3 is never checked.
    ASSERT_EQ(ParseRunFiles(list, "Free=%RUN% tag=free\r\nBangs=%RUN% code=3 tag=bangs!!", kRunPhaseFirst, variables), 1);
    FileList files;
    int32_t reboot = 0;
    std::atomic<uint8_t> cancelled{0};
    std::FILE* log = std::fopen(logPath.c_str(), "a+");
    StepContext step{log, LogLevel::Short, variables, files, reboot, cancelled};
    {
        test::LockedFile held(gate);
        EXPECT_EQ(RunFiles(list, kRunPhaseFirst, step), 1);
        EXPECT_FALSE(test::Exists(record));  // both still wait for the gate
    }
    std::fclose(log);
    // Let go, both end and leave their line (within a minute).
    for (int i = 0; i < 3000 && test::ReadFileText(record).find("bangs") == std::string::npos; ++i) Sleep(20);
    for (int i = 0; i < 3000 && test::ReadFileText(record).find("free") == std::string::npos; ++i) Sleep(20);
    const std::string recorded = test::ReadFileText(record), logged = test::ReadFileText(logPath);
    EXPECT_TRUE(recorded.find("free") != std::string::npos && recorded.find("bangs") != std::string::npos) << recorded;
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(logged.starts_with("Running file ") && logged.ends_with("tag=bangs.\r\n")) << logged;
}

}  // namespace
}  // namespace dp
