// Starting the programs of [RunFileFirst] and [RunFileEnd], and opening their
// documents through the shell: one work item per line of the phase.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "base/com_win32.h"
#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/message_wait_win32.h"
#include "base/program_win32.h"
#include "base/status.h"
#include "base/system_text.h"
#include "items/program_runs/program_runs.h"
#include "items/rollback/journal_win32.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

bool IsExistingFile(const std::string& path) {
    DWORD attributes = 0;
    return GetPathAttributes(path, attributes) == 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A text of the system code page as the wide calls take it.
std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string ShortFormOrNothing(const std::string& path) {
    std::string shortForm;
    return ShortPathName(path, shortForm) == 0 ? shortForm : std::string();
}

// Starts a program whose path is too long for the plain calls: by its short
// form where the system has one, else by its long ("\\?\") form as the
// program to start, with the command line as written.
Status StartLongPathProcess(const std::string& line, const std::string& program, StartedProcess& started) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const std::string shorter = WithShortProgramPath(line, &ShortFormOrNothing);
    if (shorter != line) {
        std::wstring command = Wide(shorter);
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                           &startup, started.raw())) {
            started.take();
            return Status();
        }
    }
    std::wstring application;
    if (const uint32_t refused = WidePath(program, application)) return Status(refused);
    std::wstring command = Wide(line);
    if (!CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, started.raw()))
        return Status(GetLastError());
    started.take();
    return Status();
}

// Starts the command as a process with the installer's environment and
// current directory.
Status StartProcess(const std::string& command, StartedProcess& started) {
    std::string line = WithProgramPath(UnambiguousCommandLine(command, &IsExistingFile), &ReachablePath);
    const std::string program = ProgramOfCommandLine(line);
    if (program.size() >= kMaxProgramPath && RunsOnNtFamily()) return StartLongPathProcess(line, program, started);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, started.raw()))
        return Status(GetLastError());
    started.take();
    return Status();
}

// Waits on the process handle until the process has ended (serving this
// thread's own messages meanwhile, if it has any) and reads its exit code.
// A code of 259 is an ordinary code here: the handle tells the end. The wait
// ends early on a Cancel or after the limit (0: none), the program left
// running; `end` tells which.
Status WaitForExitCode(HANDLE process, const StepContext& step, WaitEnd& end, int32_t& code) {
    end = WaitPumpingUntil(process, &step.cancelled, step.runTimeoutMs);
    if (end == WaitEnd::kCancelled || end == WaitEnd::kTimedOut) return Status();
    if (end != WaitEnd::kSignalled) return Status(GetLastError());
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode)) return Status(GetLastError());
    code = static_cast<int32_t>(exitCode);
    return Status();
}

// Hands the document to the shell with its default verb. The shell may hand
// it on to extensions that need COM on this thread.
intptr_t OpenWithShell(const std::string& document) {
    const ComLibrary com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    return reinterpret_cast<intptr_t>(
        ShellExecuteA(nullptr, nullptr, ReachablePath(document).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

std::string ErrorCaption(uint32_t code) { return code ? LoadMessage(kMsgErrorCaption) : std::string(); }

// A box of ShowErrorText's form, and the same text unchanged in the log.
ItemResult BoxAndLog(const std::string& text, uint32_t code) {
    ItemResult r = ItemResult::Failed(code, text, Report::kLogAndBox);
    r.boxText = ComposeError(0, text);
    r.boxStyle = kBoxOk;
    return r;
}

class ProgramRun : public WorkItem {
public:
    ProgramRun(const RunFileList& list, size_t index)
        : command_(list.commands[index]), shell_(list.shellFlags[index] != 0), wait_(list.waitFlags[index] != 0),
          expected_(list.expectedCodes[index]) {}

    PlanRow Describe() const override {
        std::string reason;
        if (!shell_) {
            reason = wait_ ? "waited for" : "not waited for";
            if (wait_ && expected_ != kNoExpectedCode) reason += ", exit code " + std::to_string(expected_) + " expected";
        }
        PlanRow row{"", shell_ ? "open" : "run", command_};
        row.reason = reason;
        return row;
    }

    Check Verify() const override { return Check::NotChecked("a program's run leaves nothing to check"); }

    ItemResult Do(StepContext& step) override {
        // What a program does cannot be undone: a rollback says so.
        if (step.journal) (void)step.journal->Record({journal::kProgram, {command_}});
        if (shell_) {
            const intptr_t returned = OpenWithShell(command_);
            if (returned <= 32) return BoxAndLog(ShellOpenErrorText(command_, returned), 0);
            return Ran(step);
        }
        StartedProcess started;
        if (const Status status = StartProcess(command_, started); !status.ok()) {
            // The box holds what it can; the log line is whole.
            ItemResult r = ItemResult::Failed(status.code(), FormatLogMessage(status.code(), kMsgErrorRunningFile, command_),
                                              Report::kLogAndBox);
            r.boxText = ComposeErrorDetail(status.code(), LoadMessage(kMsgErrorRunningFile), command_);
            r.caption = ErrorCaption(status.code());
            r.boxStyle = kBoxOk;
            return r;
        }
        if (!wait_) return Ran(step);
        int32_t received = 0;
        WaitEnd end = WaitEnd::kSignalled;
        const Status waited = WaitForExitCode(started.process.get(), step, end, received);
        if (end == WaitEnd::kCancelled)
            return ItemResult::Failed(0, FormatLogMessage(0, kMsgLeftRunningCancelled, command_), Report::kLog);
        if (end == WaitEnd::kTimedOut) {
            ItemResult r = ItemResult::Failed(
                WAIT_TIMEOUT,
                FormatLogMessage(0, kMsgLeftRunningTimedOut,
                                 command_ + " (" + std::to_string(step.runTimeoutMs / 1000) + " s)"),
                Report::kLog);
            // Its code cannot be checked: a run that expects one stops here
            // as after a wrong code.
            r.endsStep = expected_ != kNoExpectedCode;
            return r;
        }
        if (const Status& status = waited; !status.ok()) {
            // Neither its end nor its code could be seen: it is not taken as a success.
            ItemResult r = ItemResult::Failed(
                status.code(), FormatLogMessage(status.code(), kMsgErrorRunningFile, command_), Report::kLog);
            return r;
        }
        if (expected_ != kNoExpectedCode && expected_ != received) {
            ItemResult r = BoxAndLog(WrongReturnCodeText(command_, expected_, received), 0);
            r.endsStep = true;  // the rest of the phase's programs are not run
            return r;
        }
        return Ran(step);
    }

private:
    ItemResult Ran(StepContext& step) const {
        if (step.log) WriteLogText(step.log, FormatLogMessage(0, kMsgRunningFile, command_));
        return ItemResult::Done();
    }

    std::string command_;
    bool shell_;
    bool wait_;
    int32_t expected_;
};

}  // namespace

void AddProgramRuns(const RunFileList& list, int phase, WorkItems& items) {
    for (size_t i = 0; i < list.commands.size(); ++i)
        if (list.phases[i] == static_cast<uint32_t>(phase)) items.push_back(std::make_unique<ProgramRun>(list, i));
}

}  // namespace dp
