#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>

#include "log/message_box.h"
#include "script/install_script.h"

namespace dp {
namespace {

TEST(CommandLine, UpperCaseTouchesOnlyAsciiLetters) {
    char text[] = "-c=setup.ini -t \xe4\xfc 09_z";
    UpperCaseInPlace(text);
    EXPECT_STREQ(text, "-C=SETUP.INI -T \xe4\xfc 09_Z");
    std::string s = "-lsize=10";
    UpperCaseInPlace(s);
    EXPECT_EQ(s, "-LSIZE=10");
    UpperCaseInPlace(static_cast<char*>(nullptr));
}

TEST(CommandLine, ScriptPathValue) {
    struct Case {
        const char* line;
        int found;
        const char* path;
    } cases[] = {
        {"-C=SETUP.INI -T", 1, "SETUP.INI"},
        {"-T -C=SETUP.INI", 1, "SETUP.INI"},
        {"-c=setup.ini", 1, "setup.ini"},  // only when the line was not upper-cased
        {"-C=D:\\SETUP FILES\\SETUP.INI -LFULL", 1, "D:\\SETUP FILES\\SETUP.INI"},
        {"-C=\"D:\\A.INI\"", 1, "\"D:\\A.INI\""},
        {"-C=A-B.INI", 1, "A-B.INI"},
        {"-C=", 1, ""},
        {"-T -LFULL", 0, ""},
        {"", 0, ""},
    };
    for (const Case& c : cases) {
        std::string path;
        EXPECT_EQ(GetScriptPath(c.line, path), c.found) << c.line;
        EXPECT_EQ(path, c.path) << c.line;
    }
}

TEST(CommandLine, LongScriptPathIsTakenWhole) {
    std::string value(5000, 'A');
    std::string path;
    ASSERT_EQ(GetScriptPath("-C=" + value + " -T", path), 1);
    EXPECT_EQ(path, value);
    EXPECT_EQ(ResolveScriptPath(path, "C:\\P\\"), "C:\\P\\" + value);
}

TEST(CommandLine, RelativeScriptPaths) {
    struct Case {
        const char* path;
        const char* resolved;
    } cases[] = {
        {"SETUP.INI", "C:\\PROG\\SETUP.INI"},
        {"\\SUB\\SETUP.INI", "C:\\PROG\\SUB\\SETUP.INI"},
        {"\\\\SERVER\\SETUP.INI", "C:\\PROG\\\\SERVER\\SETUP.INI"},
        {"D:\\SETUP.INI", "D:\\SETUP.INI"},
        {"\"D:\\SETUP.INI\"", "\"D:\\SETUP.INI\""},
        {"D:SETUP.INI", "C:\\PROG\\D:SETUP.INI"},
        {"", "C:\\PROG\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveScriptPath(c.path, "C:\\PROG\\"), c.resolved) << c.path;
}

struct Options {
    int32_t testInstall;
    int32_t logLevel;
    std::string logPath;
    int32_t logSizeKB;
    uint8_t afterReboot;
};

// Applies the options over a model that [Parameters] has already set.
Options Apply(const std::string& line, int32_t testInstall = 0, int32_t logLevel = 2) {
    InstallScript script("C:\\P\\");
    script.testInstall = testInstall;
    script.logLevel = logLevel;
    script.logPath = "C:\\P\\SCRIPT.LOG";
    EXPECT_EQ(ApplyOptions(script, line), 1);
    return {script.testInstall, script.logLevel, script.logPath, script.logSizeKB,
            script.afterReboot};
}

TEST(Options, LevelsInTheirTestOrder) {
    struct Case {
        const char* line;
        int32_t level;
    } cases[] = {
        {"-C=A.INI -LFULL -LNONE", 0}, {"-C=A.INI -LNONE -LFULL", 0},
        {"-C=A.INI -LSHORT -LFULL", 2}, {"-C=A.INI -LFULL", 1},
        {"-C=A.INI", 1},  // untouched: what [Parameters] said
    };
    for (const Case& c : cases) EXPECT_EQ(Apply(c.line, 0, 1).logLevel, c.level) << c.line;
}

TEST(Options, TestModeIsFoundAnywhereAndNeverCleared) {
    EXPECT_EQ(Apply("-C=A.INI -T").testInstall, 1);
    EXPECT_EQ(Apply("-C=A.INI --TESTINSTALL").testInstall, 1);
    EXPECT_EQ(Apply("-C=D:\\TOOLS-TEST\\SETUP.INI").testInstall, 1);
    EXPECT_EQ(Apply("-C=A.INI", 1).testInstall, 1);
    EXPECT_EQ(Apply("-C=A.INI -LFULL").testInstall, 0);
}

TEST(Options, AfterReboot) {
    EXPECT_EQ(Apply("-C=A.INI -AFTERREBOOT").afterReboot, 1);
    EXPECT_EQ(Apply("-C=A.INI").afterReboot, 0);
}

TEST(Options, LogFileAndSizeValues) {
    Options o = Apply("-C=A.INI -LF=D:\\LOGS\\RUN ONE.LOG -LSIZE=100");
    EXPECT_EQ(o.logPath, "D:\\LOGS\\RUN ONE.LOG");
    EXPECT_EQ(o.logSizeKB, 100);
    EXPECT_EQ(Apply("-C=A.INI").logPath, "C:\\P\\SCRIPT.LOG");
    EXPECT_EQ(Apply("-C=A.INI").logSizeKB, 2048);
    EXPECT_EQ(Apply("-LSIZE=").logSizeKB, 0);
    EXPECT_EQ(Apply("-LSIZE=  \t12 -T").logSizeKB, 12);
    EXPECT_EQ(Apply("-LSIZE=X1").logSizeKB, 0);
    // The value is read from 259 characters at most.
    EXPECT_EQ(Apply("-LSIZE=" + std::string(259, ' ') + "5").logSizeKB, 0);
    EXPECT_EQ(Apply("-LSIZE=" + std::string(258, ' ') + "5").logSizeKB, 5);
}

TEST(Options, LogFileLongerThanItsBufferIsIgnored) {
    std::string fits = "D:\\" + std::string(516, 'L');
    EXPECT_EQ(Apply("-LF=" + fits).logPath, fits);
    EXPECT_EQ(Apply("-LF=" + fits + "X -T").logPath, "C:\\P\\SCRIPT.LOG");
}

TEST(Usage, BoxTextCaptionAndStyle) {
    std::string text, caption;
    unsigned style = 99;
    auto old = SetMessageBoxHandler([&](const std::string& t, const std::string& c, unsigned s) {
        text = t;
        caption = c;
        style = s;
        return kAnswerOk;
    });
    ShowUsage();
    SetMessageBoxHandler(old);
    EXPECT_EQ(text,
              "It's not defined ini file\n"
              "Parameters of the command line\n"
              "-C=IniFile.ini\t\t- configuration file name - required\n"
              "-t(--testinstall)\t\t\t- install mode\n"
              "[-LFULL|-LSHORT|-LNONE]\t\t- log level\n"
              "-LSIZE=2048\t\t\t- max log size");
    EXPECT_EQ(caption, "Error");
    EXPECT_EQ(style, kBoxOk);
}

}  // namespace
}  // namespace dp
