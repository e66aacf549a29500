#pragma once
// What every step of the install and end phases works with. Each item
// family's action takes its own list and this context:
//     int Action(FamilyList& list, StepContext& step);
// and the install sequence calls it from one row of its step table.
#include <atomic>
#include <cstdint>
#include <cstdio>

#include "base/log_level.h"

namespace dp {

class FileList;
class InstallProgress;
class VariableTable;

struct StepContext {
    std::FILE* log;                          // the open log, or null (level NONE)
    LogLevel level;
    VariableTable& variables;
    FileList& files;
    int32_t& rebootRequired;                 // set to 1 when something waits for the reboot
    const std::atomic<uint8_t>& cancelled;   // the Cancel request (installCancelled)
    InstallProgress* progress = nullptr;     // what shows the work, or none
    bool endPhase = false;                   // a step ends the phase at once (a full disk)

    bool logging() const { return log != nullptr && level != LogLevel::None; }
    bool fullLog() const { return log != nullptr && level == LogLevel::Full; }
    bool isCancelled() const { return cancelled.load() != 0; }
};

}  // namespace dp
