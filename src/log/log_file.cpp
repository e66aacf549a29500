#include "log/log_file.h"

#include "log/log_format.h"
#include "script/install_script.h"
#include "script/variable_table.h"

namespace dp {

void WriteLogHeader(std::FILE* log, const LogHeaderFacts& facts, int logLevel) {
    if (!log) return;
    WriteLogText(log, "\n" + std::string(70, '=') + "\n");
    WriteLogText(log, std::to_string(facts.day) + "." + std::to_string(facts.month) + "." +
                          std::to_string(facts.year) + " " + std::to_string(facts.hour) + ":" +
                          std::to_string(facts.minute) + "   Computer: " + facts.computer +
                          "  User: " + facts.user + "   \n");
    WriteLogText(log, facts.commandLine + "\n");
    if (logLevel == kLogFull) WriteLogText(log, "LOGLEVEL = FULL\n");
    if (logLevel == kLogShort) WriteLogText(log, "LOGLEVEL = SHORT\n");
}

void WritePredefinedVariables(std::FILE* log, const VariableTable& variables) {
    if (!log) return;
    const int n = variables.count() < kPredefinedCount ? variables.count() : kPredefinedCount;
    for (int i = 0; i < n && i < static_cast<int>(variables.values.size()); ++i)
        WriteLogText(log, variables.names[i] + " = " + variables.values[i] + "\n");
}

std::vector<std::string> LogDirectories(const std::string& logPath) {
    std::vector<std::string> dirs;
    size_t slash = logPath.find('\\');
    if (slash == std::string::npos) return dirs;
    while ((slash = logPath.find('\\', slash + 1)) != std::string::npos)
        dirs.push_back(logPath.substr(0, slash));
    return dirs;
}

int64_t LogSizeLimit(int32_t maxKB) { return maxKB < 0 ? 0 : int64_t{maxKB} * 1024; }

}  // namespace dp
