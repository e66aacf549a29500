#pragma once
// Process-wide facts of the running program.
#include <windows.h>

#include <string>

namespace dp {

// The module whose resources (strings, dialogs, icon) the program uses.
// Defaults to the process's exe; WinMain stores its instance handle.
HINSTANCE ProgramInstance();
void SetProgramInstance(HINSTANCE instance);

// Full path of the running executable (no length limit).
std::string ExecutablePath();
// Its directory, up to and including the last backslash.
std::string ProgramDirectory();

// Loads a system library from the system directory only (never from the
// program's or the current directory).
HMODULE LoadSystemLibrary(const char* name);

}  // namespace dp
