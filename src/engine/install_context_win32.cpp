// The install phase and the end phase: every step of the script in its fixed
// order, with the section texts on the progress dialog and the headings and
// file result lines in the log.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <utility>

#include "app/run_flags.h"
#include "app/win32_handles_win32.h"
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
#include "items/shortcuts.h"
#include "log/error_messages.h"
#include "log/log_file.h"
#include "log/message_box.h"
#include "log/system_text.h"
#include "resources/message_ids.h"
#include "script/install_script.h"

namespace dp {

namespace {

constexpr uint32_t kErrorFileNotFound = 2;

struct LogCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using LogStream = std::unique_ptr<std::FILE, LogCloser>;

CopyFunction g_copy = nullptr;

bool Cancelled() { return installCancelled.load() != 0; }

// The end of a phase: with logging, close the log and cut it to its limit.
void CloseAndLimitLog(LogStream& log, const InstallScript& s) {
    if (s.logLevel == kLogNone) return;
    log.reset();
    LimitLogSize(s.logPath, s.logSizeKB);
}

}  // namespace

CopyFunction SetCopyFunctionForTesting(CopyFunction copy) { return std::exchange(g_copy, copy); }

int InstallContext::RemoveDeletedShortcutFolders() {
    VariableTable none;
    const VariableTable& variables = script->variables ? *script->variables : none;
    for (const std::string& path : script->deleteShortcutList.paths) RemoveShortcutFolder(path, variables);
    return 1;
}

int InstallContext::RunInstallPhase() {
    InstallScript& s = *script;
    const bool logging = s.logLevel != kLogNone;
    VariableTable none;
    VariableTable& variables = s.variables ? *s.variables : none;
    FileList& files = s.fileList;

    SetProgressPosition(0);
    LogStream logStream;
    if (logging) {
        logStream.reset(std::fopen(s.logPath.c_str(), "a+"));
        if (!logStream) {
            ShowMessageBox(LoadMessage(kMsgErrorCreatingLog), LoadMessage(kMsgErrorCaption), kBoxOk);
            return 0;
        }
    }
    std::FILE* log = logStream.get();
    // A cancel is honoured between steps and between items: the phase ends
    // there with its log closed and cut, and leaves no step half-done.
    auto stop = [&] {
        CloseAndLimitLog(logStream, s);
        return 0;
    };

    if (Cancelled()) return stop();
    LogText(log, "\n[RunFileFirst]\n");
    ShowSectionName("[RunFileFirst]");
    RunFiles(s.runList, kRunPhaseFirst, log);

    if (Cancelled()) return stop();
    LogText(log, "\n[DeleteShortcuts]\n");
    ShowSectionName("[DeleteShortcuts]");
    DeleteShortcuts(s.deleteShortcutList, log, s.logLevel);
    RemoveFonts(files, variables);

    if (Cancelled()) return stop();
    LogText(log, "\n[DelRegEntries]\n");
    ShowSectionName("[DelRegEntries]");
    DeleteRegKeys(s.regKeys, log);

    if (Cancelled()) return stop();
    LogText(log, "\n[DelFilesFirst]\n");
    ShowSectionName("[DelFilesFirst]");
    UnregisterDeletedComServers(files, log, s.logLevel);
    for (int i = 0; i < files.count(); ++i) {
        if (Cancelled()) return stop();
        const FileItem& it = files.items[static_cast<size_t>(i)];
        if (!it.selected || !it.deleteItem) continue;
        ShowPaths(it.sourcePath, it.targetPath);
        std::string line = logging ? FormatResultLine(files, s.logLevel, i) : std::string();
        uint32_t result = it.targetExists ? RemoveInstalledFile(it.targetPath, it.registerFile, s.rebootRequired)
                                          : kErrorFileNotFound;
        if (!logging) continue;
        if (result == 0) {
            line += '\n';
            LogText(log, line);
        } else {
            LogMessage(result, kMsgErrorDeletingFile, it.targetPath, log);
        }
    }

    if (Cancelled()) return stop();
    LogText(log, "\n[Copying file]\n");
    ShowSectionName("[InstallFiles]");
    const CopyFunction copy = g_copy ? g_copy : &CopyPackageFile;
    const int count = files.count();
    for (int i = 0; i < count; ++i) {
        if (Cancelled()) return stop();
        const FileItem& it = files.items[static_cast<size_t>(i)];
        if (it.selected && !it.deleteItem) {
            ShowPaths(it.sourcePath, it.targetPath);
            // Composed before the copy: the line tells the files as they were
            // found when the script was read.
            std::string line = logging ? FormatResultLine(files, s.logLevel, i) : std::string();
            if (it.sourceExists) {
                // A flag of its own, so that only this copy's scheduling counts.
                int32_t scheduled = 0;
                uint32_t code = copy(it.sourcePath, it.targetPath, log, scheduled);
                if (scheduled) s.rebootRequired = 1;
                if (logging) LogText(log, CopyResultText(line, code, scheduled != 0));
                if (code == kErrorDiskFull) {
                    ShowErrorText(0, FormatMessageWithPath(LoadMessage(kMsgDiskFull), it.sourcePath), kBoxOk);
                    installCancelled = 1;
                    // The log is closed (its lines are written) but not cut: the
                    // disk it lives on may be the full one.
                    return 0;
                }
            } else if (logging) {
                LogText(log, MissingSourceText(it.sourcePath));
            }
        }
        SetProgressPosition(ProgressPosition(i, count));
    }
    InstallFonts(files, variables);

    if (Cancelled()) return stop();
    ShowSectionName("[Delete/CreateDirectory]");
    CreateListedDirectories(s.directoryList);
    DeleteListedDirectories(s.directoryList);

    if (Cancelled()) return stop();
    ShowSectionName("[InstallRegEntries]");
    WriteRegEntries(s.regEntries, log);

    if (Cancelled()) return stop();
    LogText(log, "\n[AddShortCut]\n");
    ShowSectionName("[AddShortCut]");
    CreateShortcuts(s.shortcutList, log, s.logLevel, files);
    RemoveDeletedShortcutFolders();

    if (Cancelled()) return stop();
    ShowSectionName("[DeleteFontSubstitutes]");
    LogText(log, "\n[DeleteFontSubstitutes]\n");
    ApplyFontSubstitutes(s.deleteFontSubstitutes, log);
    if (s.deleteFontSubstitutes.rebootRequired) s.rebootRequired = 1;
    ShowSectionName("[SetFontSubstitutes]");
    LogText(log, "\n[SetFontSubstitutes]\n");
    ApplyFontSubstitutes(s.setFontSubstitutes, log);
    if (s.setFontSubstitutes.rebootRequired) s.rebootRequired = 1;

    if (Cancelled()) return stop();
    SaveComRegList(*this);
    SaveCopyFileList(*this);

    if (Cancelled()) return stop();
    if (s.rebootRequired) {
        RegisterRunOnce(*this);
        CloseAndLimitLog(logStream, s);
        CloseProgressDialog();
        return 1;
    }
    CloseAndLimitLog(logStream, s);
    return 1;
}

int InstallContext::RunEndPhase() {
    InstallScript& s = *script;
    LogStream logStream;
    if (s.logLevel != kLogNone) {
        logStream.reset(std::fopen(s.logPath.c_str(), "a+"));
        if (!logStream) return 0;
    }
    std::FILE* log = logStream.get();
    if (s.afterReboot) LogText(log, "\n[After Reboot]\n");

    FinishCopiedFiles(*this, log);

    ShowSectionName("[ComRegistration]");
    LogText(log, "\n[ComRegistration]\n");
    RegisterSavedComServers(*this, log);

    ShowSectionName("[RunFileEnd]");
    LogText(log, "\n[RunFileEnd]\n");
    RunFiles(s.runList, kRunPhaseEnd, log);

    LogText(log, "\n[DeleteFileEnd]\n");
    ShowSectionName("[DeleteFileEnd]");
    DeleteListedFiles(s.deleteFilesEndList, log, s.logLevel);

    ShowSectionName("[DeleteDirectory]");
    DeleteListedDirectories(s.directoryList);

    CloseAndLimitLog(logStream, s);
    return 1;
}

DWORD WINAPI InstallThreadProc(LPVOID context) {
    static_cast<InstallContext*>(context)->RunInstallPhase();
    return 0;
}

int RunOrdinaryInstallWithoutWindows(InstallScript& script) {
    InstallContext context(&script);
    UniqueHandle thread(CreateThread(nullptr, 0, InstallThreadProc, &context, CREATE_SUSPENDED, nullptr));
    if (!thread || ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        ShowError(GetLastError(), kMsgErrorCreatingThread, kBoxOk);
        return 0;
    }
    // The context and the model stay alive until the worker has ended.
    WaitForSingleObject(thread.get(), INFINITE);
    if (Cancelled() || script.rebootRequired) return 1;
    context.RunEndPhase();
    return 1;
}

}  // namespace dp
