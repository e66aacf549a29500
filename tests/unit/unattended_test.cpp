#include "app/unattended.h"

#include <gtest/gtest.h>

#include "log/message_box.h"

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

}  // namespace
}  // namespace dp
