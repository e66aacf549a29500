#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/run_flags.h"
#include "model/install_script.h"
#include "support/recorders.h"

namespace dp {
namespace {

TEST(CommandLine, UpperCaseTouchesOnlyAsciiLetters) {
    char text[] = "-c=setup.ini -t \xe4\xfc 09_z";
    UpperCaseInPlace(text);
    EXPECT_STREQ(text, "-C=SETUP.INI -T \xe4\xfc 09_Z");
    UpperCaseInPlace(static_cast<char*>(nullptr));
}

TEST(CommandLine, ScriptPathValueAndResolution) {
    const std::string huge(5000, 'A');  // longer than any buffer: taken whole
    const struct {
        std::string line;
        int found;
        std::string path, resolved;
    } cases[] = {
        {"-T -C=SETUP.INI -LFULL", 1, "SETUP.INI", "C:\\P\\SETUP.INI"},
        {"-c=setup.ini", 1, "setup.ini", "C:\\P\\setup.ini"},  // a line not upper-cased
        {"-C=D:\\SETUP FILES\\A-B.INI -T", 1, "D:\\SETUP FILES\\A-B.INI", "D:\\SETUP FILES\\A-B.INI"},
        {"-C=\\SUB\\SETUP.INI", 1, "\\SUB\\SETUP.INI", "C:\\P\\SUB\\SETUP.INI"},
        {"-C=\\\\SERVER\\SETUP.INI", 1, "\\\\SERVER\\SETUP.INI", "C:\\P\\\\SERVER\\SETUP.INI"},
        {"-C=\"D:\\A.INI\"", 1, "\"D:\\A.INI\"", "\"D:\\A.INI\""},
        {"-C=D:SETUP.INI", 1, "D:SETUP.INI", "C:\\P\\D:SETUP.INI"},
        {"-C=", 1, "", "C:\\P\\"},
        {"-C=" + huge + " -T", 1, huge, "C:\\P\\" + huge},
        {"-T -LFULL", 0, "", ""},
    };
    for (const auto& c : cases) {
        std::string path;
        EXPECT_EQ(GetScriptPath(c.line, path), c.found) << c.line;
        EXPECT_EQ(path, c.path) << c.line;
        if (c.found) EXPECT_EQ(ResolveScriptPath(path, "C:\\P\\"), c.resolved) << c.line;
    }
}

// testInstall, logLevel, logPath, logSizeKB, afterReboot
using Options = std::tuple<int32_t, int32_t, std::string, int32_t, int>;

TEST(CommandLine, OptionsOverWhatParametersSet) {
    const std::string dflt = "C:\\P\\SCRIPT.LOG";
    const std::string fits = "D:\\" + std::string(200, 'L') + "\\" + std::string(200, 'M');
    const struct {
        std::string line;
        Options want;
    } cases[] = {
        {"-C=A.INI", {0, 2, dflt, 2048, 0}},  // what [Parameters] said stays
        {"-C=A.INI -LFULL -LNONE", {0, 0, dflt, 2048, 0}},
        {"-C=A.INI -LNONE -LFULL", {0, 0, dflt, 2048, 0}},  // tested in a fixed order
        {"-C=A.INI -LSHORT -LFULL", {0, 2, dflt, 2048, 0}},
        {"-C=A.INI -LFULL", {0, 1, dflt, 2048, 0}},
        {"-C=A.INI --TESTINSTALL", {1, 2, dflt, 2048, 0}},
        {"-C=D:\\TOOLS-TEST\\SETUP.INI", {1, 2, dflt, 2048, 0}},  // "-T" anywhere
        {"-C=A.INI -AFTERREBOOT", {0, 2, dflt, 2048, 1}},
        {"-C=A.INI -LF=D:\\LOGS\\RUN ONE.LOG -LSIZE=100", {0, 2, "D:\\LOGS\\RUN ONE.LOG", 100, 0}},
        {"-LF=" + fits, {0, 2, fits, 2048, 0}},  // used whole
        // A path the path policy refuses is not applied.
        {"-LF=D:\\" + std::string(40000, 'L'), {0, 2, dflt, 2048, 0}},
        {"-LF=D:\\LOGS\\AUX.LOG -LSIZE=-1", {0, 2, dflt, -1, 0}},
        {"-LSIZE=  \t12 -LFULL", {0, 1, dflt, 12, 0}},
        // A value that is no number changes nothing.
        {"-LSIZE=X1", {0, 2, dflt, 2048, 0}},
        {"-LSIZE= -LFULL", {0, 1, dflt, 2048, 0}},
        // The size is read from 259 characters at most.
        {"-LSIZE=" + std::string(258, ' ') + "5", {0, 2, dflt, 5, 0}},
        {"-LSIZE=" + std::string(259, ' ') + "5", {0, 2, dflt, 2048, 0}},
    };
    for (const auto& c : cases) {
        InstallScript script("C:\\P\\");
        script.logPath = dflt;
        EXPECT_EQ(ApplyOptions(script, c.line), 1);
        EXPECT_EQ(Options(script.testInstall, static_cast<int32_t>(script.logLevel), script.logPath, script.logSizeKB,
                          script.afterReboot),
                  c.want)
            << c.line;
    }
    InstallScript test("C:\\P\\");
    test.testInstall = 1;
    ApplyOptions(test, "-C=A.INI");
    EXPECT_EQ(test.testInstall, 1);  // never cleared
}

// result, testInstall, logLevel, logPath, logSizeKB
using Fields = std::tuple<int, int32_t, int32_t, std::string, int32_t>;

Fields Parse(const std::string& section) {
    InstallScript script("C:\\Setup\\");
    int result = script.ParseParameters(section);
    return {result, script.testInstall, static_cast<int32_t>(script.logLevel), script.logPath, script.logSizeKB};
}

// RUNTIMEOUT: seconds; none (0) by default, for 0 or less; a value that is
// no number changes nothing. The wait takes it in milliseconds, bounded.
TEST(Parameters, RunTimeout) {
    const std::pair<std::string, int32_t> cases[] = {
        {"", 0},
        {"RUNTIMEOUT=30", 30},
        {"RUNTIMEOUT=0", 0},
        {"RUNTIMEOUT=-5", 0},
        {"RUNTIMEOUT=5\r\nRUNTIMEOUT=soon", 5},
        {"RUNTIMEOUT=99999999999", 2147483647},  // read as the largest number
        {"runtimeout=5", 0},  // keys are case-sensitive
    };
    for (const auto& [section, seconds] : cases) {
        InstallScript script("C:\\Setup\\");
        EXPECT_EQ(script.ParseParameters(section), 1) << section;
        EXPECT_EQ(script.runTimeoutSeconds, seconds) << section;
        EXPECT_EQ(script.logSizeKB, 2048) << section;
    }
    EXPECT_EQ(RunTimeoutMs(0), 0u);
    EXPECT_EQ(RunTimeoutMs(2), 2000u);
    EXPECT_EQ(RunTimeoutMs(2000000), 2000000000u);
    EXPECT_EQ(RunTimeoutMs(2147483647), 2000000000u);
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

// ARCHITECTURE is searched as the other keys are: substrings, case-sensitive,
// the last line that names an architecture wins.
TEST(Parameters, ArchitectureLines) {
    const std::pair<std::string, bool> cases[] = {
        {"", false},
        {"ARCHITECTURE=X64", true},
        {"ARCHITECTURE = X64 ", true},
        {"ARCHITECTURE=X86", false},
        {"ARCHITECTURE=X64\r\nARCHITECTURE=X86", false},
        {"ARCHITECTURE=X86\r\nARCHITECTURE=X64", true},
        {"ARCHITECTURE=X64\r\nARCHITECTURE=ARM64", true},  // an unknown value changes nothing
        {"ARCHITECTURE=x64", false},                         // values are case-sensitive
        {"architecture=X64", false},
        {"LOGFILE=C:\\X64\\setup.log", false},            // only the ARCHITECTURE key
    };
    for (const auto& [section, sixtyFourBit] : cases) {
        InstallScript script("C:\\Setup\\");
        EXPECT_EQ(script.ParseParameters(section), 1) << section;
        EXPECT_EQ(script.sixtyFourBit, sixtyFourBit) << section;
    }
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
