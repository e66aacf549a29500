#pragma once
// The system facts behind the predefined variables, separated from their
// discovery so that tests can run every path (with and without the shell
// function, NT and 9x).
#include <windows.h>

#include "script/variable_table.h"

namespace dp {

using ShellFolderFunction = BOOL(WINAPI*)(HWND owner, LPSTR path, int folder, BOOL create);

struct PredefinedSystem {
    bool nt = false;                               // VER_PLATFORM_WIN32_NT reported
    ShellFolderFunction shellFunction = nullptr;   // SHGetSpecialFolderPathA, when usable
};

// The running system: OS family from GetVersionExA (extended structure, then
// the plain one; a failure counts as 9x) and the shell function when the shell
// library is 4.71 or later.
PredefinedSystem DetectPredefinedSystem();

// Replaces the table's entries with the fifteen predefined variables as the
// given system yields them, and sets programDirectory.
void FillPredefined(VariableTable& table, const PredefinedSystem& system);

}  // namespace dp
