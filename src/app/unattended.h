#pragma once
// Unattended runs: the quiet mode (no window at all), the plan of a run
// (-PLAN=), the exit codes deployment tools read, and the log's summary line.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "items/work/step_context.h"

namespace dp {

// Exit codes of quiet runs and plans, as deployment tools read them for
// installers.
constexpr int kExitSuccess = 0;
constexpr int kExitRebootRequired = 3010;   // done, but files wait for the reboot
constexpr int kExitFailure = 1603;          // the script, the reading or an item failed
constexpr int kExitAnotherRun = 1618;       // another run holds the machine
constexpr int kExitPlatformUnsupported = 1633;  // a 64-bit install on a 32-bit system: nothing changed
constexpr int kExitInvalidCommandLine = 1639;
// -VERIFY: the machine is not as the script leaves it.
constexpr int kExitDiffers = 1;
// The check of a script (-CHECK=) found errors (0: none, warnings allowed).
constexpr int kExitCheckErrors = 1;

struct RunMode {
    bool quiet = false;              // "-QUIET": no window at all
    std::optional<std::string> plan; // "-PLAN=path": write the plan there, change nothing
    std::optional<std::string> verify;  // "-VERIFY=path": check the machine, report there
    std::optional<std::string> check;  // "-CHECK=path": check that script, change nothing
};

// Options are found anywhere in the (upper-cased) command line, as the others.
RunMode ReadRunMode(std::string_view commandLine);

// What a finished quiet run (or its run after the reboot) reports.
struct RunOutcome {
    bool read = false;         // the script was read
    bool cancelled = false;    // the install stopped early (a full disk)
    bool rebootRequired = false;
    RunTally tally;
    int32_t errorsReported = 0;  // boxes that reported a failure (a bad registration file, ...)
};
int DeploymentExitCode(const RunOutcome& outcome);

// The button a quiet run takes for a box of this style: the safe one. OK for
// an OK box and for OK/Cancel (the missing-source prompt: OK ends the
// reading, nothing half-installed); No for Yes/No; Cancel otherwise. The
// reboot prompt is never shown as a box in a quiet run.
int QuietAnswer(unsigned style);
// "OK", "Cancel", "Yes", "No".
const char* AnswerName(int answer);
// "text -> OK", the text on one line (its line ends become blanks).
std::string BoxOutcome(const std::string& text, int answer);
// "[Message] Caption: text -> OK\n" (without "Caption: " when there is
// none); line ends inside the text become blanks.
std::string QuietBoxLine(const std::string& caption, const std::string& text, int answer);

// "Summary: 3 done, 1 up to date, 0 failed, 1 scheduled for the reboot, exit code 3010\n".
// A run that was rolled back says so at the end: ", rolled back".
std::string SummaryLine(const RunTally& tally, int exitCode, bool rolledBack = false);

}  // namespace dp
