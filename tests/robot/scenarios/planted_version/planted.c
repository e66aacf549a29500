/* A system DLL's name planted beside deployator.exe (built as version.dll and
   as userenv.dll). It leaves marks beside itself, NAME being its own file name:
   NAME.loaded when a process loads it, NAME.called when one of the functions
   the program uses is called through it. The wide functions that Wine's own
   user32.dll and setupapi.dll import from version.dll fail quietly. */
#include <windows.h>

static HINSTANCE self_module;

static void Mark(const char* suffix) {
    char path[MAX_PATH + 16];
    DWORD n = GetModuleFileNameA(self_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    lstrcpyA(path + n, suffix);
    HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        self_module = self;
        Mark(".loaded");
    }
    return TRUE;
}

__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle) {
    (void)file;
    Mark(".called");
    if (handle) *handle = 0;
    return 0;
}

__declspec(dllexport) BOOL WINAPI GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data) {
    (void)file, (void)handle, (void)size, (void)data;
    Mark(".called");
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR sub, LPVOID* buffer, PUINT len) {
    (void)block, (void)sub, (void)buffer, (void)len;
    Mark(".called");
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI GetUserProfileDirectoryA(HANDLE token, LPSTR dir, LPDWORD size) {
    (void)token, (void)dir, (void)size;
    Mark(".called");
    return FALSE;
}

__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
    (void)file;
    if (handle) *handle = 0;
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
}

__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data) {
    (void)file, (void)handle, (void)size, (void)data;
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR sub, LPVOID* buffer, PUINT len) {
    (void)block, (void)sub, (void)buffer, (void)len;
    return FALSE;
}
