// Starting the programs of [RunFileFirst] and [RunFileEnd], and opening their
// documents through the shell.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "base/com_win32.h"
#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/message_wait_win32.h"
#include "items/program_runs.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

bool IsExistingFile(const std::string& path) {
    DWORD attributes = 0;
    return GetPathAttributes(path, attributes) == 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Starts the command as a process with the installer's environment and
// current directory. 0 with the process handle, or the system's error.
uint32_t StartProcess(const std::string& command, UniqueHandle& process) {
    std::string line = UnambiguousCommandLine(command, &IsExistingFile);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &started))
        return GetLastError();
    UniqueHandle thread(started.hThread);
    process.reset(started.hProcess);
    return 0;
}

// Waits on the process handle until the process has ended (serving this
// thread's own messages meanwhile, if it has any) and returns its exit code.
// A code of 259 is an ordinary code here: the handle tells the end.
int32_t WaitForExitCode(HANDLE process) {
    WaitPumping(process, nullptr);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<int32_t>(code);
}

// Hands the document to the shell with its default verb. The shell may hand
// it on to extensions that need COM on this thread.
intptr_t OpenWithShell(const std::string& document) {
    const ComLibrary com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    return reinterpret_cast<intptr_t>(
        ShellExecuteA(nullptr, nullptr, document.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

}  // namespace

int RunFiles(RunFileList& list, int phase, StepContext& step) {
    for (size_t i = 0; i < list.commands.size(); ++i) {
        if (list.phases[i] != static_cast<uint32_t>(phase)) continue;
        // A Cancel takes effect here, once the program before has returned.
        if (step.isCancelled()) return 1;
        const std::string& command = list.commands[i];

        if (list.shellFlags[i]) {
            const intptr_t returned = OpenWithShell(command);
            if (returned > 32) {
                step.Done();
                list.LogMessage(0, kMsgRunningFile, command, step.log);
            } else {
                step.Failed();
                const std::string text = ShellOpenErrorText(command, returned);
                ShowErrorText(0, text, kBoxOk);
                list.LogText(step.log, text);
            }
            continue;
        }

        UniqueHandle process;
        if (const uint32_t error = StartProcess(command, process)) {
            step.Failed();
            ShowErrorDetail(error, kMsgErrorRunningFile, command, kBoxOk);
            continue;
        }
        if (list.waitFlags[i]) {
            const int32_t received = WaitForExitCode(process.get());
            const int32_t expected = list.expectedCodes[i];
            if (expected != kNoExpectedCode && expected != received) {
                const std::string text = WrongReturnCodeText(command, expected, received);
                ShowErrorText(0, text, kBoxOk);
                list.LogText(step.log, text);
                // This entry and the rest of the phase are not carried out.
                for (size_t k = i; k < list.commands.size(); ++k)
                    if (list.phases[k] == static_cast<uint32_t>(phase)) step.Failed();
                return received;
            }
        }
        step.Done();
        list.LogMessage(0, kMsgRunningFile, command, step.log);
    }
    return 1;
}

}  // namespace dp
