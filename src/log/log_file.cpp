#include "log/log_file.h"

#include "base/log_text.h"
#include "base/system_text.h"
#include "base/text.h"
#include "resources/message_ids.h"

namespace dp {

void WriteLogHeader(std::FILE* log, const LogHeaderFacts& facts, LogLevel logLevel) {
    if (!log) return;
    WriteLogText(log, "\n" + std::string(70, '=') + "\n");
    WriteLogText(log, std::to_string(facts.day) + "." + std::to_string(facts.month) + "." +
                          std::to_string(facts.year) + " " + std::to_string(facts.hour) + ":" +
                          std::to_string(facts.minute) + "   Computer: " + facts.computer +
                          "  User: " + facts.user + "   \n");
    WriteLogText(log, facts.commandLine + "\n");
    if (logLevel == LogLevel::Full) WriteLogText(log, "LOGLEVEL = FULL\n");
    if (logLevel == LogLevel::Short) WriteLogText(log, "LOGLEVEL = SHORT\n");
}

void WritePredefinedVariables(std::FILE* log, const std::vector<std::string>& names,
                              const std::vector<std::string>& values) {
    if (!log) return;
    for (size_t i = 0; i < kPredefinedVariableLines && i < names.size() && i < values.size(); ++i)
        WriteLogText(log, names[i] + " = " + values[i] + "\n");
}

std::vector<std::string> LogDirectories(const std::string& logPath) {
    std::vector<std::string> dirs;
    size_t slash = logPath.find('\\');
    if (slash == std::string::npos) return dirs;
    while ((slash = logPath.find('\\', slash + 1)) != std::string::npos)
        dirs.push_back(logPath.substr(0, slash));
    return dirs;
}

std::string FallbackLogReason(const std::string& logPath, const std::string& systemText) {
    std::string why(TrimView(systemText, " \r\n"));
    return "The log " + logPath + " cannot be opened" + (why.empty() ? "." : ": " + why) +
           " This run writes its log here.\n";
}

std::string RefusedRunLine(const LogHeaderFacts& facts) {
    return std::to_string(facts.day) + "." + std::to_string(facts.month) + "." + std::to_string(facts.year) + " " +
           std::to_string(facts.hour) + ":" + std::to_string(facts.minute) + "   " + facts.commandLine + ": " +
           LoadMessage(kMsgAnotherRunInProgress) + ". Exit code 1618.\n";
}

int64_t LogSizeLimit(int32_t maxKB) { return maxKB < 0 ? -1 : int64_t{maxKB} * 1024; }

}  // namespace dp
