#include "app/command_line.h"

#include <algorithm>

#include "base/path_policy.h"
#include "log/message_box.h"
#include "base/system_text.h"
#include "base/text.h"
#include "resources/message_ids.h"
#include "model/install_script.h"
#include "script/script_text.h"

namespace dp {

void UpperCaseInPlace(char* text) {
    if (!text) return;
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}

void UpperCaseInPlace(std::string& text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

std::optional<std::string> OptionValue(std::string_view commandLine, std::string_view option) {
    size_t at = commandLine.find(option);
    if (at == std::string_view::npos) return std::nullopt;
    size_t begin = at + option.size();
    size_t end = commandLine.find(" -", begin);
    if (end == std::string_view::npos) end = commandLine.size();
    return std::string(commandLine.substr(begin, end - begin));
}

std::optional<std::string> OptionValueAsWritten(std::string_view commandLine, std::string_view asWritten,
                                                std::string_view option) {
    if (asWritten.size() != commandLine.size()) return OptionValue(commandLine, option);
    const size_t at = commandLine.find(option);
    if (at == std::string_view::npos) return std::nullopt;
    const size_t begin = at + option.size();
    const size_t end = std::min(commandLine.find(" -", begin), commandLine.size());
    return std::string(asWritten.substr(begin, end - begin));
}

int GetScriptPath(std::string_view commandLine, std::string& path) {
    std::optional<std::string> value = OptionValue(commandLine, "-C=");
    if (!value) value = OptionValue(commandLine, "-c=");
    if (!value) return 0;
    path = std::move(*value);
    return 1;
}

std::string ResolveScriptPath(const std::string& path, const std::string& programDirectory) {
    if (path.find(":\\") != std::string::npos) return path;
    if (!path.empty() && path[0] == '\\') return programDirectory + path.substr(1);
    return programDirectory + path;
}

bool HasTestInstallOption(std::string_view commandLine) {
    return commandLine.find("-T") != std::string_view::npos;
}

bool IsAfterRebootRun(std::string_view commandLine) {
    return commandLine.find("-AFTERREBOOT") != std::string_view::npos;
}

int ApplyOptions(InstallScript& script, std::string_view commandLine) {
    auto has = [&](std::string_view option) {
        return commandLine.find(option) != std::string_view::npos;
    };
    if (has("-LFULL")) script.logLevel = LogLevel::Full;
    if (has("-LSHORT")) script.logLevel = LogLevel::Short;
    if (has("-LNONE")) script.logLevel = LogLevel::None;
    if (HasTestInstallOption(commandLine)) script.testInstall = 1;
    if (has("-ROLLBACK")) script.rollback = true;
    if (IsAfterRebootRun(commandLine)) script.afterReboot = 1;
    if (std::optional<std::string> logFile = OptionValue(commandLine, "-LF=")) {
        // Used whole when the path policy accepts it; otherwise the log stays
        // where the script put it.
        if (CheckPath(*logFile) == 0) script.logPath = std::move(*logFile);
    }
    if (std::optional<std::string> logSize = OptionValue(commandLine, "-LSIZE=")) {
        // As LOGSIZE: a value that is no number changes nothing.
        if (const std::optional<int32_t> size =
                ParseWholeDecimal(std::string_view(*logSize).substr(0, kMaxLogSizeOption)))
            script.logSizeKB = *size;
    }
    return 1;
}

std::string UsageText() {
    std::string text;
    for (int id = kMsgNoIniFile; id <= kMsgUsageLogSize; ++id) {
        if (id != kMsgNoIniFile) text += '\n';
        text += LoadMessage(id);
    }
    return text;
}

void ShowUsage() { ShowMessageBox(UsageText(), LoadMessage(kMsgErrorCaption), kBoxOk); }

}  // namespace dp
