#pragma once
// Running the install phase on its worker thread.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace dp {

class InstallScript;
struct HeldContent;

// Entry of the install worker thread; the parameter is the InstallContext.
// Runs RunInstallPhase and returns 0 whatever it returned.
DWORD WINAPI InstallThreadProc(LPVOID context);

// An ordinary run without any window: the install phase on a worker thread
// (waited for to its end), then, unless it was cancelled or a file waits for
// the next reboot, the end phase on the calling thread. The reboot prompt is
// the caller's (rebootRequired tells). 1, or 0 when the thread cannot start.
int RunOrdinaryInstallWithoutWindows(InstallScript& script);

// The copy the install phase makes for each package file (CopyPackageFile).
// Tests replace it to produce failures a real disk cannot easily give; an
// empty function restores the real one. Returns the previous function.
using CopyFunction = std::function<uint32_t(const std::string& source, const std::string& target,
                                            int32_t& scheduled, const HeldContent* held)>;
CopyFunction SetCopyFunctionForTesting(CopyFunction copy);

}  // namespace dp
