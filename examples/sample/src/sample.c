/* The sample package's libraries: small DLLs that carry a version and, as COM
   servers, register themselves by setting the value named by their own path
   under HKEY_CURRENT_USER\Software\Deployator Sample\Servers ("registered",
   or "unregistered" once unregistered). */
#include <windows.h>

static HMODULE self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

__declspec(dllexport) int SampleVersion(void) { return SAMPLE_VERSION; }

static HRESULT Mark(const char* state) {
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    HKEY key;
    LONG rc;
    if (n == 0 || n >= MAX_PATH) return E_FAIL;
    path[n] = 0;
    rc = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Deployator Sample\\Servers", 0, NULL, 0,
                         KEY_SET_VALUE, NULL, &key, NULL);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    rc = RegSetValueExA(key, path, 0, REG_SZ, (const BYTE*)state, (DWORD)lstrlenA(state) + 1);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) { return Mark("registered"); }
__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) { return Mark("unregistered"); }
