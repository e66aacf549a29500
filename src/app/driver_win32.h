#pragma once
#include <windows.h>

#include <cstdint>

namespace dp {

class InstallContext;

// The whole run, from the entry point to the exit code (0 or 1). The command
// line is the argument text the system passed (upper-cased in place here).
int RunProgram(HINSTANCE instance, char* commandLine);

// Loads comctl32.dll from the system directory and registers its window
// classes; the library, or nullptr (after message 167 when it cannot be loaded).
HMODULE LoadCommonControls();

// What the script-reading thread starts from: the upper-cased command line,
// and whether the run continues an installation after a reboot.
struct RunStart {
    const char* commandLine;
    bool afterReboot;
    bool planOnly;  // the run only writes a plan (-PLAN=)
    bool quiet = false;  // -QUIET: no item is shown, so not every fact is read
};

// Entry of the script-reading thread; the parameter is a RunStart. Creates
// the model (currentScript) and reads the script: 1 when read, 0 otherwise
// (after the usage box or message 164; silent after a Stop).
DWORD WINAPI ScriptThreadProc(LPVOID start);

// Runs the install phase on a worker thread and serves the progress dialog's
// messages until the worker has ended (after a Cancel too: the phase stops at
// its next safe point). 1, or 0 after message 138 when it cannot start.
int RunInstallThread(InstallContext& context, HWND dialog);

// The version check of test-install mode: below 4.71 (0.0 when unknown) it
// asks with message 163 whether to stop; true when the user chose OK (stop).
bool StopForOldCommonControls(int major, int minor);

// Restarts the computer (platform: the osVersion platform id; 2 is the NT family).
void Reboot(uint32_t platform);

}  // namespace dp
