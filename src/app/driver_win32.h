#pragma once
#include <windows.h>

namespace dp {

// The whole run, from the entry point to the exit code (0 or 1). The command
// line is the argument text the system passed (upper-cased in place here).
int RunProgram(HINSTANCE instance, char* commandLine);

}  // namespace dp
