/* A COMCTL32.DLL planted beside deployator.exe. If the program ever loads it,
   it leaves planted-loaded.txt beside itself. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
        while (n > 0 && path[n - 1] != '\\') --n;
        lstrcpyA(path + n, "planted-loaded.txt");
        HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI InitCommonControlsEx(const void* init) {
    (void)init;
    return TRUE;
}

__declspec(dllexport) void WINAPI InitCommonControls(void) {}
