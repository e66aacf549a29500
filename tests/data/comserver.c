/* A COM server stand-in for the removal tests: DllUnregisterServer takes a
   while and then leaves "<its own path>.unregistered" beside itself. */
#include <windows.h>

static HMODULE self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

static HRESULT LeaveEvidence(const char* suffix) {
    char path[MAX_PATH + 32];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return E_FAIL;
    lstrcatA(path, suffix);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return E_FAIL;
    CloseHandle(file);
    return S_OK;
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) { return LeaveEvidence(".registered"); }

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) {
    Sleep(700);
    return LeaveEvidence(".unregistered");
}
