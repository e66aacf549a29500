// The program's run from the entry point to the exit code: the common
// controls, the script-reading thread under the initialisation window, and
// then one of the three courses (after a reboot, ordinary, test install).
#include "app/driver_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/unattended.h"
#include "base/seam.h"
#include "base/file_system_win32.h"
#include "engine/install_plan.h"
#include "engine/install_sequence.h"
#include "engine/work_runner.h"
#include "items/after_reboot/run_once.h"
#include "items/rollback/journal_win32.h"
#include "log/log_file.h"
#include "base/system_text.h"
#include "base/fault_guard_win32.h"
#include "base/message_wait_win32.h"
#include "base/program_win32.h"
#include "base/run_flags.h"
#include "base/handles_win32.h"
#include "engine/install_context.h"
#include "engine/install_phases_win32.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"
#include "model/install_script.h"
#include "model/script_check.h"
#include "ui/init_window_win32.h"
#include "ui/module_selection_win32.h"
#include "ui/progress_dialog_win32.h"

namespace dp {
namespace {

// Destroys the model at the end of the run and forgets it.
struct ScriptDeleter {
    void operator()(InstallScript* script) const {
        if (currentScript == script) currentScript = nullptr;
        delete script;
    }
};
using ScriptOwner = std::unique_ptr<InstallScript, ScriptDeleter>;

// The system's copy of the command line shows the arguments upper-cased too
// (the log header reports it), whether or not the runtime handed WinMain a
// pointer into that copy.
void UpperCaseSystemCommandLine(const char* arguments) {
    char* full = GetCommandLineA();
    if (!full) return;
    size_t fullLen = std::strlen(full);
    size_t argLen = std::strlen(arguments);
    if (arguments >= full && arguments <= full + fullLen) return;  // the same buffer
    if (argLen == 0 || argLen > fullLen || _stricmp(full + fullLen - argLen, arguments) != 0) return;
    UpperCaseInPlace(full + fullLen - argLen);
}

// An installer is often started from a download folder where anyone can drop a
// DLL: no library that the system loads on the program's behalf (setup
// library, shell, COM) may be taken from the program's or the current
// directory. COM servers are loaded with their own folder searched for what
// they need (items/com_registration_win32.cpp).
void RestrictDllSearchToSystem() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    using SetDefaultDirs = BOOL(WINAPI*)(DWORD);
    using SetDllDir = BOOL(WINAPI*)(LPCSTR);
    if (auto setDefault = reinterpret_cast<SetDefaultDirs>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))) {
        if (setDefault(0x00000800 /*LOAD_LIBRARY_SEARCH_SYSTEM32*/)) return;
    }
    // Older systems: at least take the current directory out of the search.
    if (auto setDir = reinterpret_cast<SetDllDir>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA"))))
        setDir("");
}

}  // namespace

HMODULE LoadCommonControls() {
    // From the system directory only: a COMCTL32.DLL placed beside the program
    // (or in the current directory) is never loaded.
    HMODULE library = LoadSystemLibrary("comctl32.dll");
    if (!library) {
        ShowError(GetLastError(), kMsgErrorLoadingCommonControls, kBoxOk);
        return nullptr;
    }
    using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    using Init = void(WINAPI*)();
    if (auto initEx = reinterpret_cast<InitEx>(
            reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")))) {
        INITCOMMONCONTROLSEX classes{8, 0xFF};
        initEx(&classes);
        classes.dwICC = ICC_LISTVIEW_CLASSES;
        initEx(&classes);
        return library;
    }
    if (auto init = reinterpret_cast<Init>(
            reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControls")))) {
        init();
        return library;
    }
    FreeLibrary(library);
    return nullptr;
}

DWORD WINAPI ScriptThreadProc(LPVOID parameter) {
    const RunStart& start = *static_cast<const RunStart*>(parameter);
    std::string path;
    if (!GetScriptPath(start.commandLine, path)) {
        ShowUsage();
        return 0;
    }
    path = ResolveScriptPath(path, ProgramDirectory());
    currentScript = new InstallScript();
    currentScript->afterReboot = start.afterReboot ? 1 : 0;
    currentScript->planOnly = start.planOnly;
    currentScript->fallbackLog = start.quiet;
    currentScript->fileList.readEveryTarget = !start.quiet;
    currentScript->fileList.holdSmallSources = start.quiet;
    currentScript->fileList.readAhead = start.quiet || start.planOnly;
    currentScript->fileList.sourceFactsAtCopy = start.quiet;
    if (!currentScript->ReadScript(path)) {
        if (stopRequested.load() != 1 && !currentScript->architectureRefused) ShowError(0, kMsgErrorReadingIni, kBoxOk);
        return 0;
    }
    return 1;
}

int RunInstallThread(InstallContext& context, HWND dialog) {
    DWORD exitCode = 0;
    DWORD error = 0;
    // The worker is waited for to its end even after a Cancel: it stops at its
    // next safe point, and nothing it uses may go away before.
    if (!RunWorkerThread(InstallThreadProc, &context, dialog, exitCode, error)) {
        ShowError(error, kMsgErrorCreatingThread, kBoxOk);
        return 0;
    }
    return 1;
}

void Reboot(uint32_t platform) {
    if (platform == kPlatformNt) {
        HANDLE token = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
            UniqueHandle owned(token);
            TOKEN_PRIVILEGES privileges{};
            if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
                privileges.PrivilegeCount = 1;
                privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
                AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
            }
        }
        ExitWindowsEx(EWX_REBOOT, 0);
        return;
    }
    if (!ExitWindowsEx(EWX_REBOOT, 0)) ShowError(GetLastError(), kMsgErrorClosingApplication, kBoxOk);
}

namespace {

// The module selection dialog of test-install mode: true when the user chose
// Update (the marks are then stored in the items); the dialog is gone when
// this returns.
bool SelectModules(HINSTANCE instance, InstallScript& script) {
    ModuleSelectionDialog selection(instance, &script);
    // A dialog that cannot be created ends the loop at once: nothing is installed.
    selection.ShowModuleSelection();
    selection.RunSelectionLoop();
    return updateRequested == 1;
}

DWORD WINAPI EndPhaseThreadProc(LPVOID context) {
    static_cast<InstallContext*>(context)->RunEndPhase();
    return 0;
}

// The end phase of an ordinary run, while its progress dialog is shown. It
// may wait for programs of [RunFileEnd] and for COM servers, so it runs on a
// worker while this thread keeps the dialog alive; it is not cancellable.
// The threads still take turns: this one only serves the dialog meanwhile.
void RunEndPhaseServingDialog(InstallContext& context, ProgressDialog& dialog) {
    dialog.DisableCancel();
    DWORD exitCode = 0;
    DWORD error = 0;
    if (!RunWorkerThread(EndPhaseThreadProc, &context, dialog.window(), exitCode, error))
        context.RunEndPhase();
}

enum class InstallOutcome { Finished, RebootPrompt, NoDialog };

// The install phase on its worker under the progress dialog, then the end
// phase, unless the install was cancelled or needs a reboot.
InstallOutcome RunInstallCourse(InstallScript& script) {
    std::unique_ptr<ProgressDialog> dialog = ProgressDialog::Create();
    if (!dialog) return InstallOutcome::NoDialog;
    InstallContext context(&script);
    context.progress = dialog.get();
    RunInstallThread(context, dialog->window());
    // The worker has stopped; only now may its dialog go (a phase that left a
    // file for the reboot has closed it already).
    if (installCancelled.load()) return InstallOutcome::Finished;
    if (script.rebootRequired) return InstallOutcome::RebootPrompt;
    RunEndPhaseServingDialog(context, *dialog);
    return InstallOutcome::Finished;
}

int RebootPrompt(const InstallScript& script) {
    if (ShowError(0, kMsgRestartRequired, kBoxOkCancel) == kAnswerOk) Reboot(script.osVersion.dwPlatformId);
    return 1;
}

}  // namespace

bool StopForOldCommonControls(int major, int minor) {
    if (major > 4 || (major == 4 && minor >= 71)) return false;
    return ShowError(0, kMsgOldCommonControls, kBoxOkCancel) == kAnswerOk;
}

namespace {

// One run at a time: a second run would overwrite the first one's lists in the
// registry (ComReg, CopyFileList, RunOnce) and mix its lines into the log.
class RunLock {
public:
    // Takes the machine-wide lock, waiting up to waitMs for a run that is
    // ending (the run after a reboot may start while the one before exits).
    bool Acquire(DWORD waitMs) {
        mutex_.reset(CreateMutexA(nullptr, FALSE, "Global\\DeployatorRun"));
        if (!mutex_) mutex_.reset(CreateMutexA(nullptr, FALSE, "DeployatorRun"));
        if (!mutex_) return true;  // no lock to be had: the run is not held up by it
        const DWORD waited = WaitForSingleObject(mutex_.get(), waitMs);
        return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }

private:
    UniqueHandle mutex_;
};

// How long the run after a reboot waits for the run that asked for it to end.
constexpr DWORD kAfterRebootLockWaitMs = 30000;

// Boxes of a quiet run: written to the log as one line each, answered with
// the safe button. The log is the model's once it exists (its path follows
// the reading), else the program's default log.
std::atomic<int32_t> g_errorBoxes{0};

int QuietBox(const std::string& text, const std::string& caption, unsigned style) {
    const int answer = QuietAnswer(style);
    // Every box reports something that went wrong, except those that say
    // they do not (the note that a file in use waits for the reboot, which
    // the exit code says already).
    if (!(style & kBoxNotAnError)) ++g_errorBoxes;
    const InstallScript* s = currentScript;
    const LogLevel level = s ? s->logLevel : LogLevel::Short;
    if (level != LogLevel::None)
        AppendToLogFile(s ? s->logPath : ProgramDirectory() + kDefaultLogName, QuietBoxLine(caption, text, answer));
    return answer;
}

// The run's last log line, in every mode (not at level NONE).
int WithSummary(const InstallScript& script, int exitCode) {
    // A run that ended before its log was begun leaves no log at all.
    if (script.logLevel != LogLevel::None && PathExists(script.logPath)) {
        AppendToLogFile(script.logPath, SummaryLine(script.tally, exitCode, script.rolledBack));
        LimitLogSize(script.logPath, script.logSizeKB);
    }
    return exitCode;
}

// Reads the script on the reading thread (under the initialisation window when
// there is one). The model, or nullptr when the reading failed (currentScript
// then holds what was built, if anything) or the thread could not start.
InstallScript* ReadOnWorker(const RunStart& start, HWND initWindow) {
    DWORD read = 0;
    DWORD error = 0;
    const bool started = RunWorkerThread(ScriptThreadProc, const_cast<RunStart*>(&start), initWindow, read, error);
    EndInitWindow(initWindow);
    if (!started) {
        ShowError(error, kMsgErrorCreatingThread, kBoxOk);
        return nullptr;
    }
    return read ? currentScript : nullptr;
}

// Writes a report (a plan, a verification) to its path, taken from the
// program's directory when relative. False when it cannot be written.
bool WriteReport(const std::string& path, const std::string& text) {
    std::FILE* file = OpenStreamAt(ResolveScriptPath(path, ProgramDirectory()), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

// The exit code of a plan or a verification whose reading failed: the
// system does not take the script (a 64-bit install on a 32-bit system), or
// a failure. The model that was built goes (unless a processor fault may
// have left it half changed).
int ReadingFailure() {
    if (ProcessorFaultOccurred()) return kExitFailure;
    const ScriptOwner failed(currentScript);
    return failed && failed->architectureRefused ? kExitPlatformUnsupported : kExitFailure;
}

// -PLAN=: the script is read as an ordinary run reads it (no window, no log),
// and the plan of what the run would do is written to the file; nothing else
// on the machine changes. The boxes the reading shows become rows of the plan
// (the missing-source prompt is answered "go on", so the plan lists the item).
int RunPlan(char* commandLine, const std::string& planPath) {
    std::string scriptPath;
    if (!GetScriptPath(commandLine, scriptPath)) return kExitInvalidCommandLine;
    std::vector<PlanRow> messages;
    const Replaced<MessageBoxHandler> boxes(
        SetMessageBoxHandler, [&messages](const std::string& text, const std::string& caption, unsigned style) {
            const int answer = (style & 0xF) == kBoxOkCancel ? kAnswerCancel : QuietAnswer(style);
            messages.push_back({"[Reading]", "message", caption, BoxOutcome(text, answer)});
            return answer;
        });
    const RunStart start{commandLine, IsAfterRebootRun(commandLine), true};
    ScriptOwner script(ReadOnWorker(start, nullptr));
    if (!script) return ReadingFailure();
    ApplyOptions(*script, commandLine);
    if (script->rollback)
        messages.push_back({"[Parameters]", "rollback", "", "", "", "", "", "", "", "",
                            "transactional: a failure or a Cancel undoes every change (programs that ran excepted)"});
    // Written row by row as the items describe themselves: a plan of many
    // items is never held whole.
    std::FILE* file = OpenStreamAt(ResolveScriptPath(planPath, ProgramDirectory()), "wb");
    if (!file) return kExitFailure;
    ReportWriter writer(ReportFormOf(planPath), kPlanColumns, [file](std::string_view piece) {
        return std::fwrite(piece.data(), 1, piece.size(), file) == piece.size();
    });
    for (const PlanRow& row : messages) WritePlanRow(writer, row);
    DescribeInstallPlan(*script, [&writer](PlanRow&& row) { WritePlanRow(writer, row); });
    const bool written = writer.Finish();
    return std::fclose(file) == 0 && written ? kExitSuccess : kExitFailure;
}

// Whether a run of this program waits for the reboot: its RunOnce entry.
std::optional<std::string> PendingRunOnce() {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.get(), kRunOnceValueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueExA(key.get(), kRunOnceValueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return std::string();
    data.resize(std::min<size_t>(size, data.find('\0')));
    return data;
}

// -VERIFY=: the script is read as a plan reads it (no window, no log, no
// lock), and every item checks the machine against what it would leave,
// changing nothing. The report lists what differs and what cannot be
// checked; 0 when nothing differs, 1 when something does.
int RunVerify(char* commandLine, const std::string& reportPath) {
    std::string scriptPath;
    if (!GetScriptPath(commandLine, scriptPath)) return kExitInvalidCommandLine;
    std::vector<VerifyRow> rows;
    const Replaced<MessageBoxHandler> boxes(
        SetMessageBoxHandler, [&rows](const std::string& text, const std::string& caption, unsigned style) {
            // The reading met something it could not take whole: the script's
            // items are not all known, so the machine cannot be said to match.
            const int answer = (style & 0xF) == kBoxOkCancel ? kAnswerCancel : QuietAnswer(style);
            rows.push_back({"[Reading]", "message " + caption, "", BoxOutcome(text, answer), true});
            return answer;
        });
    const RunStart start{commandLine, IsAfterRebootRun(commandLine), true};
    ScriptOwner script(ReadOnWorker(start, nullptr));
    if (!script) return ReadingFailure();
    for (VerifyRow& row : VerifyWorkPhase(BuildInstallPhase(*script))) rows.push_back(std::move(row));
    for (VerifyRow& row : VerifyWorkPhase(BuildEndPhase(*script))) rows.push_back(std::move(row));
    if (const std::optional<std::string> pending = PendingRunOnce())
        rows.push_back({"[After Reboot]", "run after the reboot", "none waiting", *pending, true});

    ReportRows fields;
    bool differs = false;
    for (const VerifyRow& row : rows) {
        fields.push_back({row.step, row.item, row.expected, row.found});
        differs = differs || row.differs;
    }
    const std::string text = FormatReport(ReportFormOf(reportPath), {"step", "item", "expected", "found"}, fields);
    if (!WriteReport(reportPath, text)) return kExitFailure;
    return differs ? kExitDiffers : kExitSuccess;
}

// The standard output a program started from a console or with its output
// redirected has; otherwise the console of the program that started it, if
// it has one. Nothing is written without either.
void WriteStandardOutput(const std::string& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    UniqueHandle console;
    if (!out || out == INVALID_HANDLE_VALUE) {
        // AttachConsole is not there on the 9x family.
        using Attach = BOOL(WINAPI*)(DWORD);
        const auto attach = ProcAddress<Attach>(GetModuleHandleA("kernel32.dll"), "AttachConsole");
        if (!attach || !attach(ATTACH_PARENT_PROCESS)) return;
        // The console device, not a file: no path policy applies.
        console.reset(CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
        if (!console) return;
        out = console.get();
    }
    for (size_t done = 0; done < text.size();) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1 << 20));
        if (!WriteFile(out, text.data() + done, chunk, &written, nullptr) || written == 0) return;
        done += written;
    }
}

// -CHECK=: the script is read as a run reads it (no window, no log, no lock,
// nothing on the machine changes; the boxes of the reading become findings),
// and one line per finding goes to the standard output, the script named as
// the command line spells it.
int RunCheck(const std::string& path) {
    const std::vector<Finding> findings = CheckScript(ResolveScriptPath(path, ProgramDirectory()), path);
    std::string text;
    bool errors = false;
    for (const Finding& finding : findings) {
        text += FormatFinding(finding) + "\r\n";
        errors = errors || finding.severity == Severity::Error;
    }
    WriteStandardOutput(text);
    return errors ? kExitCheckErrors : kExitSuccess;
}

// A transactional run that did not end (killed, crashed, power lost) left its
// journal: it is rolled back before anything else happens, with lines in its
// own log and a box in a windowed run. A run that waits for the reboot is left
// to the run after the reboot; a journal that cannot be read is set aside
// (nothing it names is touched) and said so.
void RecoverUnfinishedRun(bool afterReboot, bool quiet) {
    const std::string folder = JournalFolder();
    std::string logPath;
    const JournalState state = ReadJournalState(folder, &logPath);
    if (state == JournalState::kNone || state == JournalState::kWaitsForReboot) return;
    if (logPath.empty()) logPath = ProgramDirectory() + kDefaultLogName;
    std::FILE* log = OpenStreamAt(logPath, "a+");
    if (state == JournalState::kUnreadable) {
        const std::string aside = SetUnreadableJournalAside(folder);
        const std::string text = ComposeErrorDetail(0, LoadMessage(kMsgJournalUnreadable), aside.empty() ? folder : aside);
        if (log) WriteLogText(log, text + "\n");
        if (!quiet) ShowMessageBox(text, LoadMessage(kMsgErrorCaption), kBoxOk);
        if (log) std::fclose(log);
        return;
    }
    (void)afterReboot;
    if (log) WriteLogText(log, "\n[Rollback of a run that did not end]\n");
    const RollbackReport report = RollBack(folder, log);
    std::string detail = std::to_string(report.undone) + " changes undone";
    if (report.notUndone) detail += ", " + std::to_string(report.notUndone) + " could not be";
    detail += " (" + logPath + ")";
    const std::string text = ComposeErrorDetail(0, LoadMessage(kMsgRolledBackOnStart), detail);
    if (log) {
        WriteLogText(log, text + "\n");
        std::fclose(log);
    }
    if (!quiet) ShowMessageBox(text, "", kBoxOk | kBoxIconInformation | kBoxNotAnError);
}

// A quiet run: no window at all, every box in the log, the exit code for
// deployment tools.
int RunQuiet(char* commandLine, const RunStart& start) {
    const Replaced<MessageBoxHandler> boxes(SetMessageBoxHandler, &QuietBox);
    ScriptOwner script(ReadOnWorker(start, nullptr));
    if (!script) {
        if (!ProcessorFaultOccurred() && currentScript) {
            // The reading failed: the model tells where its log is.
            ScriptOwner failed(currentScript);
            return WithSummary(*failed, failed->architectureRefused ? kExitPlatformUnsupported : kExitFailure);
        }
        return kExitFailure;
    }
    ApplyOptions(*script, commandLine);
    // A log that cannot be opened (also one that -LF= names) leaves its
    // trace in the fallback log.
    if (script->logLevel != LogLevel::None) UseFallbackLogIfUnwritable(script->logPath);
    script->commandLine = commandLine;
    script->outcomeLines = true;
    if (script->testInstall) return WithSummary(*script, kExitInvalidCommandLine);

    RunOutcome outcome;
    outcome.read = true;
    if (script->afterReboot) {
        InstallContext context(script.get());
        context.RunEndPhase();
    } else {
        RunOrdinaryInstallWithoutWindows(*script);
        outcome.cancelled = installCancelled.load() != 0;
        // The machine is the caller's to restart: the prompt is only logged.
        if (script->rebootRequired && !outcome.cancelled && script->logLevel != LogLevel::None)
            AppendToLogFile(script->logPath,
                            QuietBoxLine("", ComposeError(0, LoadMessage(kMsgRestartRequired)), kAnswerCancel));
    }
    outcome.rebootRequired = script->rebootRequired != 0;
    outcome.tally = script->tally;
    outcome.errorsReported = g_errorBoxes.load();
    return WithSummary(*script, DeploymentExitCode(outcome));
}

// What a windowed run does once the script is read: the end phase of a run
// after a reboot, or the module selection of a test install and the install
// course. Its exit code; promptReboot tells that the reboot prompt follows.
int RunWindowedCourse(HINSTANCE instance, InstallScript& s, bool& promptReboot) {
    promptReboot = false;
    if (s.afterReboot) {
        InstallContext context(&s);
        context.RunEndPhase();
        return 1;
    }
    if (s.testInstall) {
        int major = 0;
        int minor = 0;
        VariableTable::GetShellVersion(minor, major);
        if (StopForOldCommonControls(major, minor) || !SelectModules(instance, s)) return 1;
    }
    const InstallOutcome outcome = RunInstallCourse(s);
    if (outcome == InstallOutcome::NoDialog) {
        if (!s.testInstall) ShowError(0, kMsgErrorCreatingDialog, kBoxOk);
        return 0;
    }
    promptReboot = outcome == InstallOutcome::RebootPrompt;
    return 1;
}

}  // namespace

int RunProgram(HINSTANCE instance, char* commandLine) {
    RestrictDllSearchToSystem();
    SetProgramInstance(instance);
    static char empty[1] = "";
    if (!commandLine) commandLine = empty;
    const std::string asWritten = commandLine;
    UpperCaseSystemCommandLine(commandLine);
    UpperCaseInPlace(commandLine);

    // How this run goes is decided here, once, from the command line.
    const RunMode mode = ReadRunMode(commandLine);
    const RunStart start{commandLine, IsAfterRebootRun(commandLine), false, mode.quiet};
    if (mode.check) {
        // The check stands alone: one script, named by -CHECK= itself.
        std::string other;
        if (mode.check->empty() || mode.plan || GetScriptPath(commandLine, other))
            return kExitInvalidCommandLine;
        return RunCheck(*OptionValueAsWritten(commandLine, asWritten, "-CHECK="));
    }
    // A report needs a path to go to.
    if ((mode.plan && mode.plan->empty()) || (mode.verify && mode.verify->empty())) return kExitInvalidCommandLine;
    if (mode.plan) return RunPlan(commandLine, *mode.plan);
    if (mode.verify) return RunVerify(commandLine, *mode.verify);
    if (mode.quiet) {
        std::string scriptPath;
        if (!GetScriptPath(commandLine, scriptPath) || HasTestInstallOption(commandLine))
            return kExitInvalidCommandLine;
    }

    RunLock lock;
    if (!lock.Acquire(start.afterReboot ? kAfterRebootLockWaitMs : 0)) {
        if (mode.quiet) {
            // The run's own log is the running one's: one line elsewhere.
            AppendToLogFile(FallbackLogPath(), RefusedRunLine(CurrentLogHeaderFacts()));
            return kExitAnotherRun;
        }
        ShowError(0, kMsgAnotherRunInProgress, kBoxOk);
        return 0;
    }
    RecoverUnfinishedRun(start.afterReboot, mode.quiet);
    if (mode.quiet) return RunQuiet(commandLine, start);

    UniqueModule commonControls(LoadCommonControls());
    if (!commonControls) return 0;

    HWND initWindow = start.afterReboot ? nullptr : CreateInitWindow(instance);
    // The reading thread has ended: the model is the main thread's from here.
    ScriptOwner script(ReadOnWorker(start, initWindow));
    if (!script) {
        // After a processor fault in a section the model may be half-built:
        // the run ends without destroying it.
        if (!ProcessorFaultOccurred() && currentScript) WithSummary(*ScriptOwner(currentScript), 0);
        return 0;
    }

    ApplyOptions(*script, commandLine);
    script->commandLine = commandLine;

    bool promptReboot = false;
    const int code = WithSummary(*script, RunWindowedCourse(instance, *script, promptReboot));
    return promptReboot ? RebootPrompt(*script) : code;
}

}  // namespace dp
