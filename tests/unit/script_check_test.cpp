// The script check's pure rules: where stripped lines came from, nearest
// names, and the findings about the text as written, [Parameters], option
// words and registry file lines.
#include "model/script_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/unattended.h"
#include "base/reading_watch.h"
#include "items/program_runs/program_runs.h"
#include "items/registry/reg_file_text.h"
#include "script/variable_table.h"
#include "support/recorders.h"

namespace dp {
namespace {

// Headers of the script, enough for the names near a misspelling.
const std::vector<std::string_view> kSomeHeaders = {"[Parameters]", "[Strings]", "[InstallFiles]", "[DeleteFilesEnd]",
                                                    "[DeleteDirectory]", "[CreateDirectory]", "[RunFileEnd]"};

using Lines = std::vector<int32_t>;

TEST(LineOrigins, EachStrippedLineKeepsItsOriginalLine) {
    struct Case {
        const char* text;
        const char* stripped;
        Lines origins;
    };
    const Case cases[] = {
        {"", "", {1}},
        {"A\r\n;c\r\nB", "A\r\nB", {1, 3}},                // a comment line vanishes
        {"A ;c\r\nB\r\nC", "A B\r\nC", {1, 3}},            // a comment joins its line with the next
        {";x\r\n;y\r\nA", "A", {3}},
        {"A\r\n\r\n\r\nB\r\n", "A\r\nB\r\n", {1, 4, 5}},  // empty lines collapse
        {"\r\n\r\nA", "\r\nA", {1, 3}},
        {"A\r\n;c\r\n\r\nB", "A\r\nB", {1, 4}},            // both removals, carried through
        {"A ;c\r\n;d\r\n\r\n\r\nB ;e", "A \r\nB ", {1, 5}},
        {"A\n\nB", "A\n\nB", {1, 2, 3}},                    // only CR LF pairs make empty lines
        {"A;x", "A", {1}},                                  // no line feed: the rest goes
        {"A\r\nB\r\n;end", "A\r\nB\r\n", {1, 2, 3}},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        LineOrigins origins;
        RemoveComments(text, &origins);
        RemoveEmptyLines(text, &origins);
        EXPECT_EQ(text, c.stripped) << c.text;
        EXPECT_EQ(origins, c.origins) << c.text;
    }
    // Offsets inside a joined line belong to the line it began on.
    const StrippedScript script("[A]\r\n; note\r\nx=1 ; joined\r\ny=2\r\n\r\nz=3");
    EXPECT_EQ(script.text(), "[A]\r\nx=1 y=2\r\nz=3");
    EXPECT_EQ(script.OriginalLine(0), 1);
    EXPECT_EQ(script.OriginalLine(script.text().find("x=1")), 3);
    EXPECT_EQ(script.OriginalLine(script.text().find("y=2")), 3);
    EXPECT_EQ(script.OriginalLine(script.text().find("z=3")), 6);
}

TEST(ScriptCheck, NearestNameOnlyForMisspellings) {
    const std::vector<std::string_view> headers = kSomeHeaders;
    EXPECT_EQ(NearestName("[InstalFiles]", headers), "[InstallFiles]");
    EXPECT_EQ(NearestName("[installfiles]", headers), "[InstallFiles]");  // case alone is near
    EXPECT_EQ(NearestName("[DeleteDirectories]", headers), "[DeleteDirectory]");
    EXPECT_EQ(NearestName("[Files]", headers), "");
    EXPECT_EQ(NearestName("Alway", {"Always"}), "Always");
    EXPECT_EQ(NearestName("Now", {"Always"}), "");
    EXPECT_EQ(EditDistance("kitten", "sitting"), 3u);
    EXPECT_EQ(EditDistance("", "abc"), 3u);
}

TEST(ScriptCheck, TextAsWritten) {
    auto lines = [](const std::vector<LineFinding>& findings) {
        Lines at;
        for (const LineFinding& f : findings) at.push_back(f.line);
        return at;
    };
    // Joined with real text: lines 2 and 6; line 4 is joined with an empty
    // line only, line 8 is the last (no line end to lose), line 7 a comment.
    EXPECT_EQ(lines(FindCommentsAfterText("[Strings]\r\nA=1 ; one\r\nB=2\r\nC=3 ;\r\n\r\n"
                                          "D=4;x\r\n;y\r\nE=5 ;last")),
              (Lines{2, 6}));

    const std::vector<LineFinding> layout = FindSectionLayout(StrippedScript(
        "LOGLEVEL=FULL\r\n[Parameters]\r\n; c\r\n[InstalFiles]\r\na=b\r\n[InstallFiles]\r\nx=C:\\a[1]\\b\r\n"
        "y=[HKEY_CURRENT_USER]\r\n[Parameters]\r\n[Mine]\r\n[HKEY_LOCAL_MACHINE\\X]"), kSomeHeaders);
    ASSERT_EQ(layout.size(), 5u);
    EXPECT_EQ(layout[0].line, 1);
    EXPECT_EQ(layout[0].text, "text before the first section is read by no section");
    EXPECT_EQ(layout[1].line, 4);
    EXPECT_EQ(layout[1].text, "unknown section [InstalFiles] (did you mean [InstallFiles]?): its lines are read by no section");
    EXPECT_EQ(layout[2].line, 7);  // "[1]" ends [InstallFiles]; "[HKEY_" does not
    EXPECT_NE(layout[2].text.find("ends its section"), std::string::npos);
    EXPECT_EQ(layout[3].line, 9);
    EXPECT_EQ(layout[3].text, "section [Parameters] again: only its first section is read");
    EXPECT_EQ(layout[4].text, "unknown section [Mine]: its lines are read by no section");
    for (const LineFinding& f : layout) EXPECT_EQ(f.severity, Severity::Warning);
}

TEST(ScriptCheck, ParameterValues) {
    struct Case {
        const char* key;
        const char* value;
        const char* finding;  // "" for none; "E:" an error, "W:" a warning
    };
    const Case cases[] = {
        {"LOGSIZE", "512", ""},
        {"LOGSIZE", " -1 ", ""},
        {"LOGSIZE", "abc", "E:LOGSIZE \"abc\" is no number: the size stays as it was"},
        {"LOGLEVEL", "SHORT", ""},
        {"LOGLEVEL", "FUL", "E:unknown LOGLEVEL \"FUL\" (did you mean FULL?): FULL, SHORT or NONE (the level stays as it was)"},
        {"LOGLEVEL", "full", "E:unknown LOGLEVEL \"full\" (did you mean FULL?): FULL, SHORT or NONE (the level stays as it was)"},
        {"ARCHITECTURE", "X64", ""},
        {"ARCHITECTURE", "X86", ""},
        {"ARCHITECTURE", "ARM64", "E:unknown ARCHITECTURE \"ARM64\": X86 or X64"},
        {"LOGFILE", "C:\\NONE\\setup.log", "W:the LOGFILE value holds \"NONE\", which also sets the log level to NONE"},
        {"LOGFILE", "%TEMP_PATH%setup.log", ""},
        {"INSTALLTYPE", "TESTINSTALL", ""},
        {"RUNTIMEOUT", "30", ""},
        {"RUNTIMEOUT", "half", "E:RUNTIMEOUT \"half\" is no number of seconds: programs are waited for without a limit"},
        {"ROLLBACK", "yes", "E:unknown ROLLBACK \"yes\" (did you mean YES?): YES or NO"},
        {"LOGLEVL", "FULL", "W:unknown parameter \"LOGLEVL\" (did you mean LOGLEVEL?): INSTALLTYPE, LOGLEVEL, LOGFILE, LOGSIZE, ARCHITECTURE, ROLLBACK or RUNTIMEOUT"},
    };
    for (const Case& c : cases) {
        const std::optional<LineFinding> f = CheckParameterLine(c.key, c.value);
        const std::string got =
            f ? std::string(f->severity == Severity::Error ? "E:" : "W:") + f->text : std::string();
        EXPECT_EQ(got, c.finding) << c.key << "=" << c.value;
    }
}

TEST(ScriptCheck, OptionWordsAndFlags) {
    using Texts = std::vector<std::string>;
    EXPECT_EQ(CheckInstallOptions(" Always"), Texts{});
    EXPECT_EQ(CheckInstallOptions(" Alway"), Texts{"unknown option \"Alway\" (did you mean Always?): the only option is Always"});
    EXPECT_EQ(CheckInstallOptions("NotAlways, always"),
              (Texts{"option \"NotAlways\" counts as Always (only the word \"Always\" is looked for)",
                     "unknown option \"always\" (did you mean Always?): the only option is Always"}));

    EXPECT_EQ(CheckRunFlags("Check=tool.exe /q!OnQueue!0"), Texts{});
    EXPECT_EQ(CheckRunFlags("Check=tool.exe"), Texts{});
    EXPECT_EQ(CheckRunFlags("Check=tool.exe!OnQeue"),
              Texts{"unknown flag \"OnQeue\" (did you mean OnQueue?): the only flag is OnQueue"});
    EXPECT_EQ(CheckRunFlags("Check=tool.exe!OnQueue!zero"),
              Texts{"expected exit code \"zero\" is no number: it is read as 0"});
    EXPECT_EQ(CheckRunFlags("Check=tool.exe!!3"),
              Texts{"the expected exit code is only checked with OnQueue (the program is not waited for)"});

    EXPECT_EQ(FirstWordOfCommand(" \"C:\\My Tools\\t.exe\" /q"), "C:\\My Tools\\t.exe");
    EXPECT_EQ(FirstWordOfCommand("configure.exe /setup"), "configure.exe");
}

TEST(ScriptCheck, RegistryFileLines) {
    const std::string rest = "; the rest of the file is not read";
    EXPECT_EQ(ExplainRejectedFileLine("REGEDIT4\r", false),
              "header line \"REGEDIT4\": the reduced format has no header line, remove it" + rest);
    EXPECT_EQ(ExplainRejectedFileLine("\"Q\"=hex(b):01,00,00,00,00,00,00,00", false),
              "value type hex(b): is not one the reduced format knows (dword:, hex:, hex(2):, hex(7):)" + rest);
    EXPECT_EQ(ExplainRejectedFileLine("\"Old\"=-", false),
              "deleting a value (\"=-\") is not in the reduced format" + rest);
    EXPECT_EQ(ExplainRejectedFileLine("; note", false), "comment line: registration files take no comments" + rest);
    EXPECT_EQ(ExplainRejectedFileLine("  00,01,02", false),
              "continuation line: the reduced format takes no continuation lines" + rest);
    EXPECT_EQ(ExplainRejectedFileLine("\xFF\xFE[", false).rfind("the file is UTF-16 text", 0), 0u);

    using Texts = std::vector<std::string>;
    EXPECT_EQ(FindFormsReadDifferently("\"Dir\"=\"C:\\\\Program Files\\\\X\""),
              Texts{"a doubled backslash in a quoted value stays doubled (the reduced format does not undo the "
                    "export's escapes): write one backslash"});
    EXPECT_EQ(FindFormsReadDifferently("\"Name\"=\" x \""), Texts{"blanks at the ends of a quoted value are dropped"});
    EXPECT_EQ(FindFormsReadDifferently("\"Tip\"=\"use hex: bytes\""),
              Texts{"the quoted value holds \"hex:\": it is read as that type, not as a string"});
    EXPECT_EQ(FindFormsReadDifferently("[-HKEY_CURRENT_USER\\Software\\Old]").size(), 1u);
    EXPECT_EQ(FindFormsReadDifferently("\"Dir\"=\"C:\\Program Files\\X\""), Texts{});
    EXPECT_EQ(FindFormsReadDifferently("\"Count\"=dword:00000001"), Texts{});

    const std::string file = "[HKCU\\A]\r\n\r\n\"x\"=\"1\"\r\n\"Q\"=hex(b):01\r\n";
    EXPECT_EQ(FindRejectedLine(file, "\"Q\"=hex(b):01\r", false), 4);
    EXPECT_EQ(FindRejectedLine(file, "nothing", false), 0);
    // A key file line that a comment joined with the next one.
    EXPECT_EQ(FindRejectedLine("[HKCU\\A]\r\n[HKCU\\" + std::string(300, 'k') + " ; long\r\n[HKCU\\B]",
                               "[HKCU\\" + std::string(300, 'k') + " [HKCU\\B]", true),
              2);
    size_t from = 0;
    const std::string keys = "; old keys\r\n[HKLM\\SOFTWARE]\r\n;[HKCU\\X]\r\n[-HKCU\\X] ; again\r\n[HKCU\\X]";
    EXPECT_EQ(FindKeyLine(keys, "HKLM\\SOFTWARE", from), 2);
    EXPECT_EQ(FindKeyLine(keys, "-HKCU\\X", from), 4);
    EXPECT_EQ(FindKeyLine(keys, "HKCU\\X", from), 5);
    EXPECT_EQ(FindKeyLine(keys, "HKCU\\X", from), 0);

    EXPECT_EQ(FormatFinding({"a.reg", 4, Severity::Error, "bad"}), "a.reg:4: error: bad");
    EXPECT_EQ(FormatFinding({"C:\\s.ini", 0, Severity::Warning, "w"}), "C:\\s.ini: warning: w");
}

// The parsers tell the check which line they take up, and the registration
// file reader which line it rejects.
class LineLog : public ReadingWatcher {
public:
    LineLog() { SetReadingWatcher(this); }
    ~LineLog() override { SetReadingWatcher(nullptr); }
    void SectionLine(std::string_view line) override { lines.emplace_back(line); }
    void RejectedFileLine(std::string_view line) override { rejected.emplace_back(line); }
    std::vector<std::string> lines, rejected;
};

TEST(ScriptCheck, ParsersNameTheirLines) {
    LineLog log;
    VariableTable variables;
    RunFileList runs;
    EXPECT_EQ(ParseRunFiles(runs, "A=a.exe\r\nb.exe\r\nC=c.exe", kRunPhaseFirst, variables), 0);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"A=a.exe\r", "b.exe\r"}));  // the failing line is the last

    RegEntryList entries;
    EXPECT_EQ(ParseRegFile(entries, "[HKCU\\A]\r\n\"x\"=\"1\"\r\n\"y\"=qword:1\r\n\"z\"=\"2\"", variables), 0);
    EXPECT_EQ(log.rejected, (std::vector<std::string>{"\"y\"=qword:1\r"}));
}

TEST(ScriptCheck, CommandLineOfTheCheck) {
    const std::string written = "-Check=D:\\My Setups\\Setup.ini -x";
    std::string upper = written;
    UpperCaseInPlace(upper);
    EXPECT_EQ(ReadRunMode(upper).check.value_or("-"), "D:\\MY SETUPS\\SETUP.INI");
    EXPECT_EQ(OptionValueAsWritten(upper, written, "-CHECK=").value_or("-"), "D:\\My Setups\\Setup.ini");
    EXPECT_FALSE(OptionValueAsWritten("-C=A.INI", "-C=a.ini", "-CHECK="));
}

}  // namespace
}  // namespace dp
