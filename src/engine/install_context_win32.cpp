// The install phase and the end phase: the work lists of the install
// sequence, carried out by the runner with the log open.
#include <windows.h>

#include <algorithm>
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
#include "items/rollback/journal_win32.h"
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

// Undoes the run's changes, after its failure or its Cancel, in its log.
void RollBackRun(InstallScript& s, std::FILE* log) {
    WriteLogText(log, "\n[Rollback]\n");
    const RollbackReport report = RollBack(JournalFolder(), log);
    s.rolledBack = true;
    s.rebootRequired = 0;  // every replacement waiting for it was withdrawn
    installCancelled = 1;  // nothing of the run goes on
    std::string detail = std::to_string(report.undone) + " changes undone";
    if (report.notUndone) detail += ", " + std::to_string(report.notUndone) + " could not be (see the log)";
    ShowErrorDetail(0, kMsgRolledBack, detail, kBoxOk | kBoxIconInformation);
}

// The journal of a transactional run's install phase, begun; none (after a
// box) when it cannot be, and then nothing may be changed.
std::unique_ptr<Journal> BeginJournal(const InstallScript& s) {
    const std::string folder = JournalFolder();
    if (ReadJournalState(folder) == JournalState::kWaitsForReboot) {
        ShowErrorDetail(0, kMsgJournalWaitsForReboot, JournalFilePath(folder), kBoxOk);
        return nullptr;
    }
    Status status;
    std::unique_ptr<Journal> journal = Journal::Begin(folder, s.commandLine, s.logPath, status);
    if (!journal) ShowErrorDetail(status.code(), kMsgJournalNotWritten, JournalFilePath(folder), kBoxOk);
    return journal;
}

// What a RunOnce value held before this run writes its own.
JournalRecord RunOnceState() {
    UniqueKey key;
    std::string data;
    bool present = false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(key.get(), kRunOnceValueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            data.assign(size, '\0');
            present = RegQueryValueExA(key.get(), kRunOnceValueName, nullptr, &type,
                                       reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS;
            data.resize(std::min<size_t>(size, data.find('\0')));
        }
    }
    return JournalRecord{journal::kRunOnce, {present ? "1" : "0", present ? data : std::string()}};
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
    std::unique_ptr<Journal> journal;
    if (s.rollback) {
        journal = BeginJournal(s);
        if (!journal) {
            installCancelled = 1;
            CloseAndLimitLog(log, s);
            return 0;
        }
        step.journal = journal.get();
        step.stopOnFailure = true;
    }
    // Without a window (and its Cancel) nothing comes between two items: work
    // may be done ahead of its turn.
    step.workAhead = progress == nullptr;
    WorkPhase phase = BuildInstallPhase(s);
    const int32_t failedBefore = s.tally.failed;
    const bool ran = RunWorkPhase(phase, step, installCancelled);
    if (journal && (!ran || s.tally.failed > failedBefore)) {
        journal.reset();
        RollBackRun(s, log.get());
        CloseAndLimitLog(log, s);
        return 0;
    }
    if (!ran) {
        // A full disk leaves the log closed (its lines are written) but not
        // cut: the disk it lives on may be the full one.
        if (!step.endPhase) CloseAndLimitLog(log, s);
        return 0;
    }
    if (s.rebootRequired) {
        if (journal) (void)journal->Record(RunOnceState());
        const bool registered = WriteRunOnceEntry(s.commandLine);
        if (journal && !registered) {
            // Nothing would go on after the reboot: the run is undone now.
            journal.reset();
            RollBackRun(s, log.get());
            CloseAndLimitLog(log, s);
            CloseProgressDialog();
            return 0;
        }
        // The journal stays for the run after the reboot, which goes on with it.
        if (journal) (void)journal->Record({journal::kRebootWait, {}});
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
    // A transactional run goes on with its journal (after the reboot too).
    std::unique_ptr<Journal> journal;
    const std::string folder = JournalFolder();
    if (s.rollback && ReadJournalState(folder) != JournalState::kNone) {
        Status status;
        journal = Journal::Continue(folder, status);
        if (!journal) ShowErrorDetail(status.code(), kMsgJournalNotWritten, JournalFilePath(folder), kBoxOk);
        step.journal = journal.get();
        step.stopOnFailure = true;
    }
    WorkPhase phase = BuildEndPhase(s);
    const int32_t failedBefore = s.tally.failed;
    const bool ran = RunWorkPhase(phase, step, installCancelled);
    if (journal) {
        journal.reset();
        if (!ran || s.tally.failed > failedBefore)
            RollBackRun(s, log.get());
        else
            DiscardJournal(folder);  // done: nothing is kept
    }
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
