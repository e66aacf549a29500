// What the end-to-end scenario (program_runs.scn) cannot show: a program not
// waited for (runhelper.exe, built beside the tests) is left running.
#include <windows.h>

#include <gtest/gtest.h>

#include "items/program_runs/program_runs.h"
#include "test_support.h"

namespace dp {
namespace {

TEST(ProgramRuns, ProgramsNotWaitedForAreLeftRunning) {
    test::ScratchDir dir;
    test::BoxRecorder boxes;
    const std::string gate = dir / "gate", record = dir / "record.txt";
    test::WriteFileText(gate, "");
    test::Step step(LogLevel::Short);
    step.variables.AddEntry("RUN", "", ProgramDirectory() + "runhelper.exe record=" + record + " gate=" + gate);
    RunFileList list;
    // "!!" expects 0 but does not wait, so the code 3 is never checked.
    ASSERT_EQ(ParseRunFiles(list, "Free=%RUN% tag=free\r\nBangs=%RUN% code=3 tag=bangs!!", kRunPhaseFirst,
                            step.variables), 1);
    {
        test::LockedFile held(gate);
        WorkItems runs;
        AddProgramRuns(list, kRunPhaseFirst, runs);
        EXPECT_TRUE(step.Run(std::move(runs)));
        EXPECT_FALSE(test::Exists(record));  // both still wait for the gate
    }
    // Let go, both end and leave their line (within a minute).
    for (int i = 0; i < 3000 && test::ReadFileText(record).find("bangs") == std::string::npos; ++i) Sleep(20);
    for (int i = 0; i < 3000 && test::ReadFileText(record).find("free") == std::string::npos; ++i) Sleep(20);
    const std::string recorded = test::ReadFileText(record), logged = step.Log();
    EXPECT_TRUE(recorded.find("free") != std::string::npos && recorded.find("bangs") != std::string::npos) << recorded;
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(logged.starts_with("Running file ") && logged.ends_with("tag=bangs.\n")) << logged;
}

}  // namespace
}  // namespace dp
