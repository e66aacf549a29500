// The install phase and the end phase: every step of the script in its fixed
// order, from the step tables below, with the section texts on the progress
// display and the headings and file result lines in the log.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <utility>

#include "base/file_system_win32.h"
#include "base/install_progress.h"
#include "base/log_text.h"
#include "base/message_wait_win32.h"
#include "base/path_policy.h"
#include "base/run_flags.h"
#include "base/seam.h"
#include "base/system_text.h"
#include "base/text.h"
#include "engine/install_context.h"
#include "engine/install_phases_win32.h"
#include "engine/result_line.h"
#include "items/com_registration.h"
#include "items/directories.h"
#include "items/files/file_operations.h"
#include "items/font_substitutes.h"
#include "items/fonts.h"
#include "items/program_runs.h"
#include "items/registry/registry_items.h"
#include "items/run_once.h"
#include "items/shortcuts.h"
#include "log/error_messages.h"
#include "log/log_file.h"
#include "log/message_box.h"
#include "model/install_script.h"
#include "resources/message_ids.h"

namespace dp {

namespace {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;

struct LogCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using LogStream = std::unique_ptr<std::FILE, LogCloser>;

Seam<uint32_t(const std::string&, const std::string&, int32_t&, const HeldContent*)> g_copy(&CopyPackageFile);

// One step of a phase: what the progress display shows (none: the text of the
// step before stays), the log heading (none: no heading), and what it does.
struct InstallStep {
    const char* sectionText;
    const char* logHeading;
    int (*action)(InstallScript& script, StepContext& step);
};

void ShowPaths(StepContext& c, const FileItem& it) {
    if (c.progress) c.progress->ShowPaths(it.sourcePath, it.targetPath);
}

// The marked delete items of the file list, after the COM servers among them
// were unregistered (once, here: the deletion itself does not unregister).
// The bar does not move here.
int DeleteMarkedFiles(InstallScript& s, StepContext& c) {
    UnregisterDeletedComServers(c);
    FileList& files = c.files;
    for (int i = 0; i < files.count(); ++i) {
        if (c.isCancelled()) return 0;
        const FileItem& it = files.items[static_cast<size_t>(i)];
        if (!it.selected || !it.deleteItem) continue;
        ShowPaths(c, it);
        std::string line = c.logging() ? FormatResultLine(files, c.level, i) : std::string();
        // A path that names no file, or one the path policy refuses, is
        // reported whether or not something was found under it.
        uint32_t result = DeletionRefusal(it.targetPath);
        int32_t scheduled = 0;
        if (result == 0)
            result = it.targetExists ? RemoveInstalledFile(it.targetPath, scheduled) : kErrorFileNotFound;
        if (scheduled) s.rebootRequired = 1;
        // A file already gone is not a failure: there is nothing to do.
        if (result == 0)
            scheduled ? c.Scheduled() : c.Done();
        else if (result == kErrorFileNotFound || result == kErrorPathNotFound)
            c.UpToDate();
        else
            c.Failed();
        if (!c.logging()) continue;
        WriteLogText(c.log, result == 0 ? line + "\n" : DeletionErrorText(result, it.targetPath));
    }
    return 1;
}

// The marked install items: each copied, and its result line written here
// (and only here) after the copy. A full disk ends the phase.
int CopyMarkedFiles(InstallScript&, StepContext& c) {
    FileList& files = c.files;
    const int count = files.count();
    for (int i = 0; i < count; ++i) {
        if (c.isCancelled()) return 0;
        const FileItem& it = files.items[static_cast<size_t>(i)];
        if (!it.selected && !it.deleteItem) {
            // Up to date, or left out by the user; a missing source is a file
            // this run could not install.
            it.sourceExists ? c.UpToDate() : c.Failed();
        } else if (it.selected && !it.deleteItem) {
            ShowPaths(c, it);
            // Composed before the copy: the line tells the files as they were
            // found when the script was read.
            std::string line = c.logging() ? FormatResultLine(files, c.level, i) : std::string();
            const std::string* device = NamesDevice(it.sourcePath)   ? &it.sourcePath
                                        : NamesDevice(it.targetPath) ? &it.targetPath
                                                                     : nullptr;
            if (device) {
                // Refused before any call: such a name would reach a device.
                c.Failed();
                if (c.logging()) WriteLogText(c.log, FormatLogMessage(0, kMsgDeviceNameRefused, *device));
            } else if (it.sourceExists || CheckPath(it.sourcePath) != 0) {
                // A source the policy refused was never looked for: its copy
                // fails with the policy's code. The scheduling flag is the
                // copy's own, so that only this copy's scheduling counts.
                int32_t scheduled = 0;
                const uint32_t code = g_copy(it.sourcePath, it.targetPath, scheduled, it.heldSource.get());
                if (scheduled) {
                    c.rebootRequired = 1;
                    const std::string note = InUseCopyText(it.sourcePath, it.targetPath, code);
                    if (c.log)
                        WriteLogText(c.log, note);
                    else
                        ShowMessageBox(note, LoadMessage(kMsgErrorCaption), kBoxIconInformation);
                }
                if (code == 0)
                    c.Done();
                else
                    scheduled ? c.Scheduled() : c.Failed();
                if (c.logging()) WriteLogText(c.log, CopyResultText(line, code, scheduled != 0));
                if (code == kErrorDiskFull) {
                    ShowErrorText(0, FormatMessageWithPath(LoadMessage(kMsgDiskFull), it.sourcePath), kBoxOk);
                    installCancelled = 1;
                    c.endPhase = true;
                    return 0;
                }
            } else {
                c.Failed();
                if (c.logging()) WriteLogText(c.log, MissingSourceText(it.sourcePath));
            }
        }
        if (c.progress) c.progress->SetPosition(ProgressPercent(i, count));
    }
    return 1;
}

int FontSubstitutes(FontSubstituteList& list, InstallScript& s, StepContext& c) {
    ApplyFontSubstitutes(list, c);
    if (list.rebootRequired) s.rebootRequired = 1;
    return 1;
}

// The install phase, in order. A step runs only while the install is not
// cancelled; the file loops also stop between items.
constexpr InstallStep kInstallSteps[] = {
    {"[RunFileFirst]", "\n[RunFileFirst]\n",
     [](InstallScript& s, StepContext& c) { return RunFiles(s.runList, kRunPhaseFirst, c); }},
    {"[DeleteShortcuts]", "\n[DeleteShortcuts]\n",
     [](InstallScript& s, StepContext& c) {
         DeleteShortcuts(s.deleteShortcutList, c);
         return RemoveFonts(c);
     }},
    {"[DelRegEntries]", "\n[DelRegEntries]\n",
     [](InstallScript& s, StepContext& c) { return DeleteRegKeys(s.regKeys, c); }},
    {"[DelFilesFirst]", "\n[DelFilesFirst]\n", &DeleteMarkedFiles},
    {"[InstallFiles]", "\n[Copying file]\n", &CopyMarkedFiles},
    {nullptr, nullptr, [](InstallScript&, StepContext& c) { return InstallFonts(c); }},
    {"[Delete/CreateDirectory]", nullptr,
     [](InstallScript& s, StepContext& c) {
         CreateListedDirectories(s.directoryList, c);
         return DeleteListedDirectories(s.directoryList, c);
     }},
    {"[InstallRegEntries]", nullptr,
     [](InstallScript& s, StepContext& c) { return WriteRegEntries(s.regEntries, c); }},
    {"[AddShortCut]", "\n[AddShortCut]\n",
     [](InstallScript& s, StepContext& c) {
         CreateShortcuts(s.shortcutList, c);
         for (const std::string& path : s.deleteShortcutList.linkPaths) RemoveShortcutFolder(path, c.variables);
         return 1;
     }},
    {"[DeleteFontSubstitutes]", "\n[DeleteFontSubstitutes]\n",
     [](InstallScript& s, StepContext& c) { return FontSubstitutes(s.deleteFontSubstitutes, s, c); }},
    {"[SetFontSubstitutes]", "\n[SetFontSubstitutes]\n",
     [](InstallScript& s, StepContext& c) { return FontSubstitutes(s.setFontSubstitutes, s, c); }},
    // What the end phase needs, whether it runs now or after a reboot.
    {nullptr, nullptr,
     [](InstallScript&, StepContext& c) {
         SaveComRegList(c);
         return SaveCopyFileList(c);
     }},
};

// The end phase, in order.
constexpr InstallStep kEndSteps[] = {
    {nullptr, nullptr, [](InstallScript&, StepContext& c) { return FinishCopiedFiles(c); }},
    {"[ComRegistration]", "\n[ComRegistration]\n",
     [](InstallScript&, StepContext& c) { return RegisterSavedComServers(c); }},
    {"[RunFileEnd]", "\n[RunFileEnd]\n",
     [](InstallScript& s, StepContext& c) { return RunFiles(s.runList, kRunPhaseEnd, c); }},
    {"[DeleteFileEnd]", "\n[DeleteFileEnd]\n",
     [](InstallScript& s, StepContext& c) {
         return DeleteListedFiles(s.deleteFilesEndList.paths, c.log, c.level, c.tally);
     }},
    {"[DeleteDirectory]", nullptr,
     [](InstallScript& s, StepContext& c) { return DeleteListedDirectories(s.directoryList, c); }},
};

// Runs the steps in order. False when the phase ended early: the install was
// cancelled before a step, or a step ended the phase.
template <size_t N>
bool RunSteps(const InstallStep (&steps)[N], InstallContext& context, StepContext& step) {
    for (const InstallStep& row : steps) {
        if (step.isCancelled()) return false;
        if (row.logHeading) WriteLogText(step.log, row.logHeading);
        if (row.sectionText) context.ShowSectionName(row.sectionText);
        row.action(*context.script, step);
        if (step.endPhase) return false;
    }
    return !step.isCancelled();
}

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
    return step;
}

}  // namespace

CopyFunction SetCopyFunctionForTesting(CopyFunction copy) { return g_copy.Replace(std::move(copy)); }

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
    if (!RunSteps(kInstallSteps, *this, step)) {
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
    RunSteps(kEndSteps, *this, step);
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
