#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_flags.h"
#include "script/install_script.h"
#include "script/reporting_base.h"

namespace dp {
namespace {

struct Fields {
    int32_t testInstall;
    int32_t logLevel;
    std::string logPath;
    int32_t logSizeKB;
};

Fields Parse(const std::string& section, int* result = nullptr) {
    InstallScript script("C:\\Setup\\");
    int r = script.ParseParameters(section);
    if (result) *result = r;
    return {script.testInstall, script.logLevel, script.logPath, script.logSizeKB};
}

TEST(Parameters, EachKeyAndItsSubstringRules) {
    const std::string dflt = "C:\\Setup\\kitup.log";
    struct Case {
        const char* section;
        Fields want;
    } cases[] = {
        {"", {0, 2, dflt, 2048}},
        {"LOGLEVEL=FULL", {0, 1, dflt, 2048}},
        {"LOGLEVEL=NONE", {0, 0, dflt, 2048}},
        {"LOGLEVEL=SHORT", {0, 2, dflt, 2048}},
        {"LOGLEVEL=FULL\r\nLOGLEVEL=SHORT", {0, 1, dflt, 2048}},
        // The key holds "LOG" and the value "NONE": logging goes off too.
        {"LOGFILE=C:\\NONE\\setup.log", {0, 0, "C:\\NONE\\setup.log", 2048}},
        {"LOGFILE=  setup.log  \r\nX=1", {0, 2, "setup.log", 2048}},
        {"LOGSIZE=100\r\nLOGLEVEL=FULL", {0, 1, dflt, 100}},
        {"LOGSIZE=abc", {0, 2, dflt, 0}},
        {"LOGSIZE=  64", {0, 2, dflt, 64}},
        {"INSTALLTYPE=TESTINSTALL", {1, 2, dflt, 2048}},
        {"INSTALLTYPE=NORMAL", {0, 2, dflt, 2048}},
        // Case-sensitive: lower-case keys do nothing.
        {"loglevel=FULL\r\ninstalltype=TESTINSTALL", {0, 2, dflt, 2048}},
        // Only the first "=" splits.
        {"LOGFILE=a=b.log", {0, 2, "a=b.log", 2048}},
    };
    for (const Case& c : cases) {
        int result = -1;
        Fields got = Parse(c.section, &result);
        EXPECT_EQ(result, 1) << c.section;
        EXPECT_EQ(got.testInstall, c.want.testInstall) << c.section;
        EXPECT_EQ(got.logLevel, c.want.logLevel) << c.section;
        EXPECT_EQ(got.logPath, c.want.logPath) << c.section;
        EXPECT_EQ(got.logSizeKB, c.want.logSizeKB) << c.section;
    }
}

TEST(Parameters, LineWithoutEqualsFailsAndStopsThere) {
    int result = -1;
    Fields got = Parse("LOGLEVEL=FULL\r\nTESTINSTALL\r\nLOGSIZE=5", &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(got.logLevel, 1);
    EXPECT_EQ(got.logSizeKB, 2048);
}

TEST(Parameters, LogFileIsCutAt519Characters) {
    Fields got = Parse("LOGFILE=" + std::string(2000, 'x'));
    EXPECT_EQ(got.logPath, std::string(519, 'x'));
}

class ScriptedSink : public ProgressSink {
public:
    explicit ScriptedSink(int stopAtLine) : stopAtLine_(stopAtLine) {}
    void ShowProgressLine(const std::string& text, int kind) override {
        events.push_back("show " + std::to_string(kind) + " " + text);
    }
    void PollStop(int done, int total, int32_t& stop) override {
        events.push_back("poll " + std::to_string(done) + "/" + std::to_string(total));
        stop = done == stopAtLine_ ? 1 : 0;
    }
    std::vector<std::string> events;

private:
    int stopAtLine_;
};

TEST(Parameters, ProgressPerLineAndBackToZeroAtTheEnd) {
    ScriptedSink sink(-1);
    SetProgressSink(&sink);
    int result = -1;
    Parse("LOGLEVEL=FULL\r\nLOGSIZE=5", &result);
    SetProgressSink(nullptr);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(sink.events, (std::vector<std::string>{"show 0 LOGLEVEL", "poll 1/2", "show 0 LOGSIZE",
                                                     "poll 2/2", "poll 0/2"}));
}

TEST(Parameters, ConfirmedStopLeavesTheLineUnapplied) {
    ScriptedSink sink(2);
    SetProgressSink(&sink);
    int result = -1;
    Fields got = Parse("LOGLEVEL=FULL\r\nLOGSIZE=5\r\nINSTALLTYPE=TESTINSTALL", &result);
    SetProgressSink(nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(got.logLevel, 1);
    EXPECT_EQ(got.logSizeKB, 2048);
    EXPECT_EQ(got.testInstall, 0);
}

TEST(Parameters, StopAlreadyPendingFailsEvenAnEmptySection) {
    stopRequested = 1;
    int empty = -1, full = -1;
    Parse("", &empty);
    Fields got = Parse("LOGLEVEL=FULL", &full);
    stopRequested = 0;
    EXPECT_EQ(empty, 0);
    EXPECT_EQ(full, 0);
    EXPECT_EQ(got.logLevel, 2);
}

}  // namespace
}  // namespace dp
