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
        {"C:\\Tools\\run C:\\x y.txt", "\"C:\\Tools\\run\" C:\\x y.txt"},  // the next backslash is not a folder's
        {"C:\\Tools\\run /dir:a\\b", "\"C:\\Tools\\run\" /dir:a\\b"},
        // The program the script names is missing: a shorter part that ends
        // inside a folder name of the written path is never taken, and the
        // written path is quoted so that the system does not try it either.
        {"C:\\Program Files\\Q\\gone.exe /s", "\"C:\\Program Files\\Q\\gone.exe\" /s"},
        {"C:\\Program Files\\Q\\gone.exe", "\"C:\\Program Files\\Q\\gone.exe\""},
        {"C:\\Program Files\\P\\tool x\\gone.exe C:\\in", "\"C:\\Program Files\\P\\tool x\\gone.exe\" C:\\in"},
        {"C:\\Program  Files\\Q\\gone.exe\t/s", "\"C:\\Program  Files\\Q\\gone.exe\"\t/s"},
        {"C:\\Tools\\gone.exe /s", "C:\\Tools\\gone.exe /s"},  // no blank in the written path
        {"C:\\a b\\ ", "\"C:\\a b\\\" "},
        // A relative path right after the program reads as a folder name:
        // such a command must quote its program.
        {"C:\\Tools\\run data\\in.txt", "\"C:\\Tools\\run data\\in.txt\""},
        {"notepad.exe data\\in.txt", "notepad.exe data\\in.txt"},  // a bare name, for the search path
    };
    for (const auto& [command, line] : cases) EXPECT_EQ(UnambiguousCommandLine(command, isFile), line) << command;

    // A command the system cannot take is handed over as written.
    const std::string huge = "C:\\Program Files\\P\\tool.exe " + std::string(40000, 'a');
    EXPECT_EQ(UnambiguousCommandLine(huge, isFile), huge);
}

// A program path of 260 characters or more is handed to the system in its
// short form, where it has one that is shorter; the arguments stay.
TEST(WithShortProgramPath, OnlyLongProgramsTakeTheirShortForm) {
    const std::string dir = "C:\\" + std::string(120, 'a') + "\\" + std::string(120, 'b');
    const std::string tool = dir + "\\tool.exe";      // 253 characters: as it is
    const std::string big = dir + "\\toolbox12.exe";  // 258
    const std::string huge = dir + "\\" + std::string(30, 'c') + ".exe";
    const std::string nameless = dir + "\\" + std::string(40, 'd') + ".exe";  // no short form
    auto shortForm = [&](const std::string& path) -> std::string {
        if (path == huge) return "C:\\AAAA~1\\BBBB~1\\CCCC~1.EXE";
        if (path == tool || path == big) return "C:\\SHORT.EXE";
        if (path.size() > 500) return std::string(300, 's');  // no shorter than the limit
        return "";
    };
    const std::string over = huge + " x";
    const std::pair<std::string, std::string> cases[] = {
        {"\"" + tool + "\" /s", "\"" + tool + "\" /s"},
        {"\"" + big + "\"", "\"" + big + "\""},
        {"\"" + huge + "\" /s \"a b\"", "\"C:\\AAAA~1\\BBBB~1\\CCCC~1.EXE\" /s \"a b\""},
        {huge + " /s", "C:\\AAAA~1\\BBBB~1\\CCCC~1.EXE /s"},
        {"\"" + huge, "\"C:\\AAAA~1\\BBBB~1\\CCCC~1.EXE\""},  // the quote is closed
        {"\"" + nameless + "\" /s", "\"" + nameless + "\" /s"},
        {std::string(600, 'p') + " /s", std::string(600, 'p') + " /s"},
    };
    for (const auto& [line, want] : cases) EXPECT_EQ(WithShortProgramPath(line, shortForm), want) << line;
    EXPECT_EQ(ProgramOfCommandLine("\"" + over + "\" y"), over);
    EXPECT_EQ(ProgramOfCommandLine("a.exe\tb"), "a.exe");
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
