#include "app/unattended.h"

#include "app/command_line.h"
#include "base/text.h"
#include "log/message_box.h"

namespace dp {

RunMode ReadRunMode(std::string_view commandLine) {
    RunMode mode;
    mode.quiet = commandLine.find("-QUIET") != std::string_view::npos;
    if (std::optional<std::string> plan = OptionValue(commandLine, "-PLAN=")) mode.plan = std::move(plan);
    if (std::optional<std::string> verify = OptionValue(commandLine, "-VERIFY=")) mode.verify = std::move(verify);
    if (std::optional<std::string> check = OptionValue(commandLine, "-CHECK=")) mode.check = std::move(check);
    return mode;
}

int DeploymentExitCode(const RunOutcome& o) {
    if (!o.read || o.cancelled || o.tally.failed > 0 || o.errorsReported > 0) return kExitFailure;
    return o.rebootRequired ? kExitRebootRequired : kExitSuccess;
}

int QuietAnswer(unsigned style) {
    switch (style & 0xF) {
    case kBoxOk:
    case kBoxOkCancel: return kAnswerOk;
    case kBoxYesNo: return kAnswerNo;
    default: return kAnswerCancel;
    }
}

const char* AnswerName(int answer) {
    switch (answer) {
    case kAnswerOk: return "OK";
    case kAnswerYes: return "Yes";
    case kAnswerNo: return "No";
    default: return "Cancel";
    }
}

std::string BoxOutcome(const std::string& text, int answer) {
    std::string oneLine = text;
    for (char& c : oneLine)
        if (c == '\r' || c == '\n') c = ' ';
    TrimChars(oneLine, " ");
    return oneLine + " -> " + AnswerName(answer);
}

std::string QuietBoxLine(const std::string& caption, const std::string& text, int answer) {
    return "[Message] " + (caption.empty() ? std::string() : caption + ": ") + BoxOutcome(text, answer) + "\n";
}

std::string SummaryLine(const RunTally& t, int exitCode, bool rolledBack) {
    return "Summary: " + std::to_string(t.done) + " done, " + std::to_string(t.upToDate) + " up to date, " +
           std::to_string(t.failed) + " failed, " + std::to_string(t.scheduled) +
           " scheduled for the reboot, exit code " + std::to_string(exitCode) + (rolledBack ? ", rolled back" : "") +
           "\n";
}

}  // namespace dp
