#include <windows.h>

#include "app/driver_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    return dp::RunProgram(instance, commandLine);
}
