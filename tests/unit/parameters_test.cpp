#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/run_flags.h"
#include "model/install_script.h"
#include "support/recorders.h"

namespace dp {
namespace {

// result, testInstall, logLevel, logPath, logSizeKB
using Fields = std::tuple<int, int32_t, int32_t, std::string, int32_t>;

Fields Parse(const std::string& section) {
    InstallScript script("C:\\Setup\\");
    int result = script.ParseParameters(section);
    return {result, script.testInstall, static_cast<int32_t>(script.logLevel), script.logPath, script.logSizeKB};
}

TEST(Parameters, EachKeyAndItsSubstringRules) {
    const std::string dflt = "C:\\Setup\\kitup.log";
    const struct {
        std::string section;
        Fields want;
    } cases[] = {
        {"", {1, 0, 2, dflt, 2048}},
        {"LOGLEVEL=NONE", {1, 0, 0, dflt, 2048}},
        {"LOGLEVEL=FULL\r\nLOGLEVEL=SHORT", {1, 0, 1, dflt, 2048}},
        // The key holds "LOG" and the value "NONE": logging goes off too.
        {"LOGFILE=C:\\NONE\\setup.log", {1, 0, 0, "C:\\NONE\\setup.log", 2048}},
        {"LOGFILE=  a=b.log  \r\nX=1", {1, 0, 2, "a=b.log", 2048}},  // the first "=" splits
        {"LOGFILE=" + std::string(2000, 'x'), {1, 0, 2, std::string(2000, 'x'), 2048}},  // used whole
        {"LOGSIZE=  64\r\nLOGLEVEL=FULL", {1, 0, 1, dflt, 64}},
        {"LOGSIZE=0", {1, 0, 2, dflt, 0}},
        {"LOGSIZE=-1", {1, 0, 2, dflt, -1}},  // no limit
        // A value that is no number changes nothing (read as 0 it would empty the log).
        {"LOGSIZE=abc", {1, 0, 2, dflt, 2048}},
        {"LOGSIZE=0x10", {1, 0, 2, dflt, 2048}},
        {"LOGSIZE=", {1, 0, 2, dflt, 2048}},
        {"INSTALLTYPE=TESTINSTALL", {1, 1, 2, dflt, 2048}},
        {"INSTALLTYPE=NORMAL", {1, 0, 2, dflt, 2048}},
        {"loglevel=FULL\r\ninstalltype=TESTINSTALL", {1, 0, 2, dflt, 2048}},  // keys are case-sensitive
        // A line without "=" fails the section; what follows is not applied.
        {"LOGLEVEL=FULL\r\nTESTINSTALL\r\nLOGSIZE=5", {0, 0, 1, dflt, 2048}},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.section), c.want) << c.section;

    stopRequested = 1;  // a Stop already confirmed fails even an empty section
    EXPECT_EQ(Parse(""), Fields(0, 0, 2, dflt, 2048));
    EXPECT_EQ(Parse("LOGLEVEL=FULL"), Fields(0, 0, 2, dflt, 2048));
    stopRequested = 0;
}

TEST(Parameters, ProgressPerLineAndAConfirmedStop) {
    {
        test::ProgressRecorder sink;
        EXPECT_EQ(std::get<0>(Parse("LOGLEVEL=FULL\r\nLOGSIZE=5")), 1);
        EXPECT_EQ(sink.events, (std::vector<std::string>{"0:LOGLEVEL", "1/2", "0:LOGSIZE", "2/2", "0/2"}));
    }
    test::ProgressRecorder sink(2);  // the stop leaves its line and the rest unapplied
    EXPECT_EQ(Parse("LOGLEVEL=FULL\r\nLOGSIZE=5\r\nINSTALLTYPE=TESTINSTALL"),
              Fields(0, 0, 1, "C:\\Setup\\kitup.log", 2048));
}

}  // namespace
}  // namespace dp
