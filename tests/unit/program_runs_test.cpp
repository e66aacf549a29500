#include "items/program_runs/program_runs.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/run_flags.h"
#include "script/variable_table.h"
#include "support/recorders.h"

namespace dp {
namespace {

using Texts = std::vector<std::string>;

TEST(RunLine, LabelCommandFlagsAndExpectedCode) {
    const struct {
        const char* line;
        const char* label;
        const char* command;
        bool shell, wait;
        int32_t expected;
    } cases[] = {
        {"Setup1=%WINDOWS_PATH%tool.exe /s", "Setup1", "%WINDOWS_PATH%tool.exe /s", false, false, -1},
        {"S=tool!OnQueue", "S", "tool", false, true, -1},
        {"S=tool!OnQueue!0\r", "S", "tool", false, true, 0},
        {"S=tool!!", "S", "tool", false, false, 0},  // expects 0 but does not wait: never checked
        {"S=tool !OnQueue! -3 \r", "S", "tool ", false, true, -3},
        {"S=tool!OnQueue!12abc", "S", "tool", false, true, 12},
        {"S=tool!x!y!3", "S", "tool", false, false, 0},  // the code is read as atoi reads "y!3"
        {"S=tool!!OnQueue", "S", "tool", false, true, 0},  // "OnQueue" anywhere after the first "!"
        {"S=tool!onqueue!1", "S", "tool", false, false, 1},  // the words are case-sensitive
        {"A=b=c!d=e", "A", "b=c", false, false, -1},  // only the first "=" splits
        {"MyRunShellFile2=C:\\doc.txt", "MyRunShellFile2", "C:\\doc.txt", true, false, -1},
        {"RunShellFile1=C:\\doc.txt!OnQueue!4", "RunShellFile1", "C:\\doc.txt", true, true, 4},
        {"runshellfile=C:\\doc.txt", "runshellfile", "C:\\doc.txt", false, false, -1},
        {"=tool", "", "tool", false, false, -1},
        {"S=tool!OnQueue!99999999999", "S", "tool", false, true, 2147483647},
    };
    for (const auto& c : cases) {
        RunLine parts;
        ASSERT_TRUE(SplitRunLine(c.line, parts)) << c.line;
        EXPECT_EQ(std::string(parts.label) + "|" + std::string(parts.command) + "|" + std::to_string(parts.shell) +
                      std::to_string(parts.wait) + "|" + std::to_string(parts.expectedCode),
                  std::string(c.label) + "|" + c.command + "|" + std::to_string(c.shell) + std::to_string(c.wait) +
                      "|" + std::to_string(c.expected))
            << c.line;
    }
    RunLine parts;
    EXPECT_FALSE(SplitRunLine("tool.exe /s!OnQueue!0", parts));
}

TEST(ParseRunFiles, BothSectionsInOneListWithProgressAndStop) {
    stopRequested = 0;
    VariableTable variables;
    variables.AddEntry("TOOLS", "", "C:\\Tools\\");
    RunFileList list;
    test::BoxRecorder boxes;
    const std::string longDocument = "C:\\Tools\\" + std::string(3000, 'r');  // taken whole
    {
        test::ProgressRecorder progress;
        ASSERT_EQ(ParseRunFiles(list, "First= %TOOLS%a.exe /q \r\nSecond=%NOPE%b!OnQueue!2", kRunPhaseFirst, variables), 1);
        ASSERT_EQ(ParseRunFiles(list, "RunShellFile=" + longDocument, kRunPhaseEnd, variables), 1);
        EXPECT_EQ(progress.events, (Texts{"0:First", "1/2", "0:Second", "2/2", "0/2", "0:RunShellFile", "1/1", "0/1"}));
    }
    Texts entries;  // command, then shell flag, phase, wait flag, expected code
    for (size_t i = 0; i < list.commands.size(); ++i)
        entries.push_back(list.commands[i] + "|" + std::to_string(list.shellFlags[i]) + std::to_string(list.phases[i]) +
                          std::to_string(list.waitFlags[i]) + "|" + std::to_string(list.expectedCodes[i]));
    EXPECT_EQ(entries, (Texts{"C:\\Tools\\a.exe /q|000|-1", "%NOPE%b|001|2", longDocument + "|110|-1"}));
    EXPECT_EQ(boxes.boxes, Texts{"|Undefined variable NOPE.|0"});

    // A line without "=" fails the section; a confirmed Stop ends it.
    EXPECT_EQ(ParseRunFiles(list, "A=a.exe\r\nb.exe", kRunPhaseEnd, variables), 0);
    RunFileList stopped;
    test::ProgressRecorder progress(1);
    EXPECT_EQ(ParseRunFiles(stopped, "A=a.exe\r\nB=b.exe", kRunPhaseFirst, variables), 0);
    EXPECT_EQ(stopped.count(), 0);
    stopRequested = 0;
}

TEST(UnambiguousCommandLine, ProgramIsTheLongestLeadingPartThatIsAFile) {
    const std::set<std::string> files = {"C:\\Program.exe", "C:\\Program Files\\P\\tool.exe", "C:\\Tools\\run",
                                         "C:\\a b\\c d.exe"};
    auto isFile = [&](const std::string& path) { return files.count(path) != 0; };
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Program Files\\P\\tool.exe /s", "\"C:\\Program Files\\P\\tool.exe\" /s"},
        {"C:\\Program Files\\P\\tool /s", "\"C:\\Program Files\\P\\tool.exe\" /s"},
        {"C:\\Program Files\\P\\tool.exe", "\"C:\\Program Files\\P\\tool.exe\""},
        {"C:\\Program Files\\P\\tool.exe  /a  /b", "\"C:\\Program Files\\P\\tool.exe\"  /a  /b"},
        {"C:\\Program Files\\P\\tool.exe\t/s", "\"C:\\Program Files\\P\\tool.exe\"\t/s"},
        {"C:\\a b\\c d.exe x y", "\"C:\\a b\\c d.exe\" x y"},
        {"C:\\Tools\\run now", "\"C:\\Tools\\run\" now"},
        {"\"C:\\Program Files\\P\\tool.exe\" /s", "\"C:\\Program Files\\P\\tool.exe\" /s"},
        {"C:\\Tools\\run", "C:\\Tools\\run"},  // no blank: nothing to mistake
        {"notepad.exe C:\\x y.txt", "notepad.exe C:\\x y.txt"},  // for the search path
        {"", ""},
        // The program the script names is missing: what the system itself
        // would start is all there is.
        {"C:\\Program Files\\Q\\gone.exe /s", "\"C:\\Program.exe\" Files\\Q\\gone.exe /s"},
    };
    for (const auto& [command, line] : cases) EXPECT_EQ(UnambiguousCommandLine(command, isFile), line) << command;

    // A command the system cannot take is handed over as written.
    const std::string huge = "C:\\Program Files\\P\\tool.exe " + std::string(40000, 'a');
    EXPECT_EQ(UnambiguousCommandLine(huge, isFile), huge);
}

// Only the program part of a command line is mapped; the arguments stay.
TEST(WithProgramPath, MapsTheProgramOnly) {
    const auto map = [](const std::string& p) { return "<" + p + ">"; };
    const std::pair<std::string, std::string> cases[] = {
        {"\"C:\\P F\\t.exe\" /s \"x y\"", "\"<C:\\P F\\t.exe>\" /s \"x y\""},
        {"C:\\t.exe /s C:\\t.exe", "<C:\\t.exe> /s C:\\t.exe"},
        {"C:\\t.exe\t/s", "<C:\\t.exe>\t/s"},
        {"C:\\t.exe", "<C:\\t.exe>"},
        {"\"C:\\t.exe\"", "\"<C:\\t.exe>\""},
        {"\"C:\\unclosed /s", "\"C:\\unclosed /s"},  // left to the system as written
        {"", "<>"},
    };
    for (const auto& [line, want] : cases) EXPECT_EQ(WithProgramPath(line, map), want) << line;
}

TEST(ProgramRunTexts, CommandsAreNeverReadAsFormats) {
    EXPECT_EQ(WrongReturnCodeText("C:\\t %s %i %%.exe", 0, -3),
              "C:\\t %s %i %%.exe has wrong return code (expected - 0, received - -3).\n"
              "Installation was not completed");
    EXPECT_EQ(ShellOpenErrorText("C:\\d %s.txt", 31), "Error runing file - C:\\d %s.txt. ShellExecute return code = 31");
}

}  // namespace
}  // namespace dp
