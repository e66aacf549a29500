#pragma once
// What every work item of the install and end phases works with: the log,
// the model's file list, the variables, the Cancel request and the display.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/log_level.h"
#include "base/log_text.h"

namespace dp {

class FileList;
class InstallProgress;
class Journal;
class VariableTable;

// What a run did with its items: the log's summary line and the exit code of
// an unattended run come from it.
struct RunTally {
    int32_t done = 0;       // carried out
    int32_t upToDate = 0;   // nothing to do: the file is current, already gone, ...
    int32_t failed = 0;     // could not be carried out, or refused
    int32_t scheduled = 0;  // left for the next reboot
};

// RUNTIMEOUT's seconds as the wait's milliseconds: 0 for none (0 or less),
// at most 2,000,000 seconds (a wait the system's 32-bit count can hold).
inline uint32_t RunTimeoutMs(int32_t seconds) {
    if (seconds <= 0) return 0;
    return static_cast<uint32_t>(seconds > 2000000 ? 2000000 : seconds) * 1000u;
}

struct StepContext {
    std::FILE* log;                          // the open log, or null (level NONE)
    LogLevel level;
    VariableTable& variables;
    FileList& files;
    int32_t& rebootRequired;                 // set to 1 when something waits for the reboot
    const std::atomic<uint8_t>& cancelled;   // the Cancel request (installCancelled)
    InstallProgress* progress = nullptr;     // what shows the work, or none
    bool endPhase = false;                   // the phase ended at once (a full disk)
    RunTally* tally = nullptr;               // where the outcome of each item is counted
    // Whether every item's outcome gets a line of its own in the log (a quiet
    // run's full log, for the administrator who reads it against the plan).
    bool outcomeLines = false;
    // The journal of a transactional run: each item records how to undo its
    // change before making it. None in an ordinary run.
    Journal* journal = nullptr;
    // A transactional run ends its phase at the first item that fails (it
    // is then rolled back); set when that happened.
    bool stopOnFailure = false;
    bool failedAndStopped = false;
    // Nothing can come between two items of the phase (no window with its
    // Cancel): an item may do the work of the items after it ahead of their
    // turn, several at a time, as long as every effect is told in its turn,
    // a journal records the changes in the order of the turns, and a phase
    // that ends early takes back what was done for items it never reached.
    bool workAhead = false;
    // The longest wait for a waited program or a COM server's registration,
    // in milliseconds; 0: no limit ([Parameters] RUNTIMEOUT).
    uint32_t runTimeoutMs = 0;

    bool logging() const { return log != nullptr && level != LogLevel::None; }
    bool fullLog() const { return log != nullptr && level == LogLevel::Full; }
    bool isCancelled() const { return cancelled.load() != 0; }
    // A string-table message with its detail (and the system's text for the
    // error, if any) as one log line, when there is a log.
    void LogMessage(uint32_t error, int messageId, const std::string& detail) const {
        if (logging()) WriteLogText(log, FormatLogMessage(error, messageId, detail));
    }
};

}  // namespace dp
