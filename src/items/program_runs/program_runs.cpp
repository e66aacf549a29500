// Reading [RunFileFirst] and [RunFileEnd], and the texts of the program runs.
#include "items/program_runs/program_runs.h"

#include <algorithm>
#include <initializer_list>

#include "base/reading_watch.h"
#include "base/run_flags.h"
#include "base/system_text.h"
#include "base/text.h"
#include "resources/message_ids.h"
#include "script/script_text.h"
#include "script/variable_table.h"

namespace dp {
namespace {

// The longest command line the system takes; a longer one is handed over as
// it is and refused there.
constexpr size_t kMaxCommandLine = 32767;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether the blank at `at` lies inside a folder name of the path it follows:
// a backslash comes before it, and the text from that backslash to the next
// one after the blank could be a single name (no character a name cannot
// hold, such as ":", "/", a quote or a tab). In "C:\Program Files\x.exe"
// the blank is inside "Program Files"; in "C:\Tools\run C:\x" or
// "C:\Tools\run /s" it is not.
bool EndsInsideFolderName(std::string_view command, size_t at) {
    const size_t before = command.rfind('\\', at);
    const size_t after = command.find('\\', at);
    if (before == std::string_view::npos || after == std::string_view::npos) return false;
    for (size_t i = before + 1; i < after; ++i) {
        const unsigned char c = static_cast<unsigned char>(command[i]);
        if (c < 0x20 || std::string_view("\"*/:<>?|").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    }
    return true;
}

// The message with each "%s", "%i" or "%d" replaced by the next value, in
// order ("%%" is one percent sign). The values are never read as formats.
std::string FillMessage(std::string_view message, std::initializer_list<std::string> values) {
    std::string text;
    auto next = values.begin();
    for (size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c == '%' && i + 1 < message.size()) {
            const char kind = message[i + 1];
            if (kind == '%') {
                text += '%';
                ++i;
                continue;
            }
            if ((kind == 's' || kind == 'i' || kind == 'd') && next != values.end()) {
                text += *next++;
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

}  // namespace

bool SplitRunLine(std::string_view line, RunLine& out) {
    out = RunLine{};
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    out.label = line.substr(0, equals);
    out.shell = out.label.find("RunShellFile") != std::string_view::npos;
    const std::string_view rest = line.substr(equals + 1);
    const size_t bang = rest.find('!');
    out.command = rest.substr(0, bang);
    if (bang == std::string_view::npos) return true;
    const std::string_view flags = rest.substr(bang + 1);
    out.wait = flags.find("OnQueue") != std::string_view::npos;
    const size_t second = flags.find('!');
    if (second != std::string_view::npos) out.expectedCode = ParseDecimal(TrimView(flags.substr(second + 1), " \r\n"));
    return true;
}

int ParseRunFiles(RunFileList& list, const std::string& section, int phase, VariableTable& variables) {
    int32_t stop = stopRequested.load();
    if (section.empty()) return stop == 1 ? 0 : 1;

    SectionWalk walk(list, section);
    const size_t grown = list.commands.size() + walk.lines().size();
    list.commands.reserve(grown);
    list.shellFlags.reserve(grown);
    list.phases.reserve(grown);
    list.waitFlags.reserve(grown);
    list.expectedCodes.reserve(grown);

    for (std::string_view line : walk.lines()) {
        NoteSectionLine(line);
        RunLine parts;
        if (!SplitRunLine(line, parts)) return 0;
        if (!walk.Next(std::string(parts.label))) break;

        std::string command(parts.command);
        VariableTrim(command);
        variables.ExpandVariables(command, false);  // an undefined name was reported
        list.commands.push_back(std::move(command));
        list.shellFlags.push_back(parts.shell ? 1 : 0);
        list.phases.push_back(static_cast<uint32_t>(phase));
        list.waitFlags.push_back(parts.wait ? 1 : 0);
        list.expectedCodes.push_back(parts.expectedCode);
    }
    return walk.Finish();
}

std::string UnambiguousCommandLine(const std::string& command,
                                   const std::function<bool(const std::string& path)>& isFile) {
    if (command.empty() || command[0] == '"' || command.size() > kMaxCommandLine) return command;
    if (command.find_first_of(" \t") == std::string::npos) return command;  // nothing to mistake
    // The ends of the leading parts, longest first: the whole command, then
    // the text before each blank. A part that ends in a blank is left out (the
    // system drops trailing blanks of a name; the part without them is tried
    // on its own), and so is one that ends inside a folder name.
    std::vector<size_t> ends;
    for (size_t end = command.size(); end > 0; --end) {
        if (end < command.size() && !IsBlank(command[end])) continue;
        if (IsBlank(command[end - 1]) || EndsInsideFolderName(command, end)) continue;
        ends.push_back(end);
    }
    for (size_t end : ends) {
        std::string program = command.substr(0, end);
        if (!isFile(program)) {
            program += ".exe";
            if (!isFile(program)) continue;
        }
        return "\"" + program + "\"" + command.substr(end);
    }
    // No part names a file. When the written path has blanks in its folder
    // names, the system would try what lies before each of them as a program
    // of its own: the written path is quoted, so that it is looked for alone.
    const size_t written = ends.empty() ? command.find_last_not_of(" \t") + 1 : ends.back();
    if (command.find_first_of(" \t") >= written) return command;
    return "\"" + command.substr(0, written) + "\"" + command.substr(written);
}

std::string ProgramOfCommandLine(const std::string& line) {
    if (!line.empty() && line[0] == '"') {
        const size_t close = line.find('"', 1);
        return line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return line.substr(0, line.find_first_of(" \t"));
}

std::string WithShortProgramPath(const std::string& line,
                                 const std::function<std::string(const std::string& path)>& shortForm) {
    const std::string program = ProgramOfCommandLine(line);
    if (program.size() < kMaxProgramPath) return line;
    const std::string shorter = shortForm(program);
    if (shorter.empty() || shorter.size() >= kMaxProgramPath) return line;
    const bool quoted = line[0] == '"';
    const size_t rest = quoted ? std::min(line.size(), program.size() + 2) : program.size();
    return (quoted ? "\"" + shorter + "\"" : shorter) + line.substr(rest);
}

std::string WithProgramPath(const std::string& commandLine, const std::function<std::string(const std::string&)>& map) {
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t close = commandLine.find('"', 1);
        if (close == std::string::npos) return commandLine;  // left to the system as written
        return "\"" + map(commandLine.substr(1, close - 1)) + commandLine.substr(close);
    }
    const size_t blank = commandLine.find_first_of(" \t");
    if (blank == std::string::npos) return map(commandLine);
    return map(commandLine.substr(0, blank)) + commandLine.substr(blank);
}

std::string WrongReturnCodeText(const std::string& command, int32_t expected, int32_t received) {
    return FillMessage(LoadMessage(kMsgWrongReturnCode),
                       {command, std::to_string(expected), std::to_string(received)});
}

std::string ShellOpenErrorText(const std::string& command, intptr_t returned) {
    return LoadMessage(kMsgErrorRunningFile) + " - " + command +
           ". ShellExecute return code = " + std::to_string(static_cast<int32_t>(returned));
}

}  // namespace dp
