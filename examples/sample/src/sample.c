/* The sample package's libraries: empty DLLs that only carry a version. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

__declspec(dllexport) int SampleVersion(void) { return SAMPLE_VERSION; }
