#pragma once
// Programs that the script runs first ([RunFileFirst]) and last ([RunFileEnd]).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/reporting_base.h"
#include "items/work/work_item.h"

namespace dp {

inline constexpr char kRunFileFirstSection[] = "[RunFileFirst]";
inline constexpr char kRunFileEndSection[] = "[RunFileEnd]";

class VariableTable;

constexpr int kRunPhaseFirst = 0;
constexpr int kRunPhaseEnd = 1;

// The expected exit code of an entry whose code is not checked.
constexpr int32_t kNoExpectedCode = -1;

// [RunFileFirst] and [RunFileEnd], in one list: the entries of the first,
// then those of the second, each section in the order of its lines. Index i
// of every array describes one entry.
class RunFileList : public ReportingBase {
public:
    ~RunFileList() override = default;
    int32_t count() const { return static_cast<int32_t>(commands.size()); }

    std::vector<std::string> commands;     // the command line, or the document to open
    std::vector<uint32_t> shellFlags;      // 1: opened through the shell; 0: started as a process
    std::vector<uint32_t> phases;          // kRunPhaseFirst or kRunPhaseEnd
    std::vector<uint8_t> waitFlags;        // 1: the process is waited for ("OnQueue")
    std::vector<int32_t> expectedCodes;    // kNoExpectedCode: the exit code is not checked
};

// One line of either section, taken apart:
//   label=command[!flags[!expected code]]
// The label (before the first "=") names a shell open when it contains
// "RunShellFile"; the command runs to the first "!" after the "="; the flags
// are everything after that "!" ("OnQueue" anywhere: wait); the expected code
// is the text after the second "!", read as the C library's atoi reads it.
struct RunLine {
    std::string_view label;
    std::string_view command;  // not trimmed
    bool shell = false;
    bool wait = false;
    int32_t expectedCode = kNoExpectedCode;
};
// False when the line has no "=".
bool SplitRunLine(std::string_view line, RunLine& out);

// Reads [RunFileFirst] (phase 0) or [RunFileEnd] (phase 1). 1, or 0 for a
// line without "=" or a confirmed Stop.
int ParseRunFiles(RunFileList& list, const std::string& section, int phase, VariableTable& variables);
// The work items of the phase's entries, in list order: each starts its
// program (or opens its document); a waited program that returns another
// code than the one expected fails and ends the phase's runs (the rest are
// counted failed). A Cancel is seen between entries.
void AddProgramRuns(const RunFileList& list, int phase, WorkItems& items);

// The command line handed to the system for a command that starts a program.
// A command that begins with a quote is taken as written. Otherwise a program
// path with blanks in it would be ambiguous (the system tries "C:\Program",
// then "C:\Program Files\...", each also with ".exe"), so the program is the
// longest leading part of the command, ending at a blank or at the end, that
// names an existing file as it stands or with ".exe" added, and it is quoted.
// A part that ends inside a folder name of the written path (a backslash
// before the blank, and the text from it to the next backslash could be one
// name) is never taken: "C:\Program.exe" is not the program of
// "C:\Program Files\Tool\x.exe". Without such a part the written path (the
// shortest part that does not end inside a folder name) is quoted when it has
// blanks, so that the system looks for it alone; else the command is taken
// as written.
std::string UnambiguousCommandLine(const std::string& command,
                                   const std::function<bool(const std::string& path)>& isFile);

// The program of a command line as UnambiguousCommandLine gives it: the
// text between the quotes at its start, or the text up to its first blank.
std::string ProgramOfCommandLine(const std::string& line);
// The longest program path the system's plain calls start (MAX_PATH).
constexpr size_t kMaxProgramPath = 260;
// The command line with its program replaced by the program's short form
// (shortForm; "" when there is none) when the program's path has
// kMaxProgramPath characters or more and the short form fewer; else the line
// as it is. A quoted program stays quoted.
std::string WithShortProgramPath(const std::string& line,
                                 const std::function<std::string(const std::string& path)>& shortForm);
// The command line with its program (the quoted text at its start, else the
// text up to its first blank) replaced by map(program); the arguments stay
// as written. A 64-bit run starts a program of the 64-bit system folder
// through the folder's alias this way.
std::string WithProgramPath(const std::string& commandLine, const std::function<std::string(const std::string&)>& map);

// The box and log text of a waited program that ended with another code than
// the script expected (message 166 filled in; no period at the end).
std::string WrongReturnCodeText(const std::string& command, int32_t expected, int32_t received);
// The box and log text of a shell open that failed (no period at the end).
std::string ShellOpenErrorText(const std::string& command, intptr_t returned);

}  // namespace dp
