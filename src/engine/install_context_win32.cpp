// The install phase and the end phase: the work lists of the install
// sequence, carried out by the runner with the log open.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <utility>

#include "base/file_system_win32.h"
#include "base/install_progress.h"
#include "base/log_text.h"
#include "base/message_wait_win32.h"
#include "base/run_flags.h"
#include "base/system_text.h"
#include "engine/install_context.h"
#include "engine/install_phases_win32.h"
#include "engine/install_sequence.h"
#include "engine/work_runner.h"
#include "items/after_reboot/run_once.h"
#include "log/error_messages.h"
#include "log/log_file.h"
#include "log/message_box.h"
#include "model/install_script.h"
#include "resources/message_ids.h"

namespace dp {

namespace {

struct LogCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using LogStream = std::unique_ptr<std::FILE, LogCloser>;

// With logging, the log of the phase, opened for appending; null at level NONE.
bool OpenPhaseLog(const InstallScript& s, LogStream& log) {
    if (s.logLevel == LogLevel::None) return true;
    log.reset(OpenStreamAt(s.logPath, "a+"));
    return log != nullptr;
}

// The end of a phase: with logging, close the log and cut it to its limit.
void CloseAndLimitLog(LogStream& log, const InstallScript& s) {
    if (s.logLevel == LogLevel::None) return;
    log.reset();
    LimitLogSize(s.logPath, s.logSizeKB);
}

StepContext MakeStepContext(InstallScript& s, std::FILE* log, InstallProgress* progress,
                            VariableTable& variables) {
    StepContext step{log, s.logLevel, variables, s.fileList, s.rebootRequired, installCancelled, progress};
    step.tally = &s.tally;
    step.outcomeLines = s.outcomeLines;
    step.runTimeoutMs = RunTimeoutMs(s.runTimeoutSeconds);
    return step;
}

}  // namespace

int InstallContext::RunInstallPhase() {
    InstallScript& s = *script;
    VariableTable none;
    VariableTable& variables = s.variables ? *s.variables : none;

    if (progress) progress->SetPosition(0);
    LogStream log;
    if (!OpenPhaseLog(s, log)) {
        ShowMessageBox(LoadMessage(kMsgErrorCreatingLog), LoadMessage(kMsgErrorCaption), kBoxOk);
        return 0;
    }
    StepContext step = MakeStepContext(s, log.get(), progress, variables);
    WorkPhase phase = BuildInstallPhase(s);
    if (!RunWorkPhase(phase, step, installCancelled)) {
        // A full disk leaves the log closed (its lines are written) but not
        // cut: the disk it lives on may be the full one.
        if (!step.endPhase) CloseAndLimitLog(log, s);
        return 0;
    }
    if (s.rebootRequired) {
        WriteRunOnceEntry(s.commandLine);
        CloseAndLimitLog(log, s);
        CloseProgressDialog();
        return 1;
    }
    CloseAndLimitLog(log, s);
    return 1;
}

int InstallContext::RunEndPhase() {
    InstallScript& s = *script;
    VariableTable none;
    VariableTable& variables = s.variables ? *s.variables : none;
    LogStream log;
    if (!OpenPhaseLog(s, log)) return 0;
    if (s.afterReboot) WriteLogText(log.get(), "\n[After Reboot]\n");
    StepContext step = MakeStepContext(s, log.get(), progress, variables);
    WorkPhase phase = BuildEndPhase(s);
    RunWorkPhase(phase, step, installCancelled);
    CloseAndLimitLog(log, s);
    return 1;
}

DWORD WINAPI InstallThreadProc(LPVOID context) {
    static_cast<InstallContext*>(context)->RunInstallPhase();
    return 0;
}

int RunOrdinaryInstallWithoutWindows(InstallScript& script) {
    InstallContext context(&script);
    DWORD exitCode = 0;
    DWORD error = 0;
    if (!RunWorkerThread(InstallThreadProc, &context, nullptr, exitCode, error)) {
        ShowError(error, kMsgErrorCreatingThread, kBoxOk);
        return 0;
    }
    if (installCancelled.load() || script.rebootRequired) return 1;
    context.RunEndPhase();
    return 1;
}

}  // namespace dp
