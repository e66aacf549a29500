#pragma once
// Running the install phase on its worker thread.
#include <windows.h>


namespace dp {

class InstallScript;

// Entry of the install worker thread; the parameter is the InstallContext.
// Runs RunInstallPhase and returns 0 whatever it returned.
DWORD WINAPI InstallThreadProc(LPVOID context);

// An ordinary run without any window: the install phase on a worker thread
// (waited for to its end), then, unless it was cancelled or a file waits for
// the next reboot, the end phase on the calling thread. The reboot prompt is
// the caller's (rebootRequired tells). 1, or 0 when the thread cannot start.
int RunOrdinaryInstallWithoutWindows(InstallScript& script);

}  // namespace dp
