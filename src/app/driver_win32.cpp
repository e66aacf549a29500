#include "app/driver_win32.h"

#include "app/program_win32.h"

namespace dp {

int RunProgram(HINSTANCE instance, char* commandLine) {
    SetProgramInstance(instance);
    (void)commandLine;
    return 0;
}

}  // namespace dp
