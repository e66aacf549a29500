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
    bool sixtyFourBit = false;                     // a 64-bit system (this process under WOW64)
};

// The running system: OS family from GetVersionExA (extended structure, then
// the plain one; a failure counts as 9x) and the shell function when the shell
// library is 4.71 or later, and whether the system is a 64-bit one.
PredefinedSystem DetectPredefinedSystem();

// Replaces the table's entries with the predefined variables as the given
// system yields them, and sets programDirectory. On a 64-bit system the
// 32-bit Program Files is the one this process is given, the 64-bit one the
// 64-bit registry view's; the 32-bit system folder the system's WOW64 folder
// and the 64-bit one its alias (VariableTable::UseSixtyFourBitFolders names
// it by its real name for a 64-bit run). On a 32-bit system each 64-bit
// folder is the 32-bit one.
void FillPredefined(VariableTable& table, const PredefinedSystem& system);

}  // namespace dp
