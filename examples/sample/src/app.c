/* The sample application: a window-less program that greets the user. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    MessageBoxA(NULL, "Hello from the Deployator Sample.", "Deployator Sample", MB_OK | MB_ICONINFORMATION);
    return 0;
}
