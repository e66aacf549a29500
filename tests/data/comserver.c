/* COM server stand-ins. Registering sets the value named by the server's own
   full path under HKCU\Software\DeployatorTest\ComServers to "registered",
   unregistering sets it to "unregistered". Built in variants:
     COMSERVER_FAIL    both functions fail with E_ACCESSDENIED, writing nothing
     COMSERVER_HANG    both functions never return
     COMSERVER_DEP     the mark is written by comdephelper.dll, which must be
                       found beside the server
     COMSERVER_HELPER  that helper library
   and as a 64-bit server too. */
#include <windows.h>

#ifdef COMSERVER_DEP
__declspec(dllimport) HRESULT MarkServer(HMODULE server, const char* state);
#else
#ifdef COMSERVER_HELPER
__declspec(dllexport)
#else
static
#endif
HRESULT MarkServer(HMODULE server, const char* state) {
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(server, path, MAX_PATH);
    HKEY key;
    LONG rc;
    if (n == 0 || n >= MAX_PATH) return E_FAIL;
    path[n] = 0;
    rc = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\DeployatorTest\\ComServers", 0, NULL, 0,
                         KEY_SET_VALUE, NULL, &key, NULL);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    rc = RegSetValueExA(key, path, 0, REG_SZ, (const BYTE*)state, (DWORD)lstrlenA(state) + 1);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}
#endif

#ifndef COMSERVER_HELPER
static HMODULE self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

#if defined(COMSERVER_CRASH)
__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) { return *(volatile HRESULT*)0; }
__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) { return *(volatile HRESULT*)0; }
#elif defined(COMSERVER_HANG)
__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) { for (;;) Sleep(INFINITE); }
__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) { for (;;) Sleep(INFINITE); }
#elif defined(COMSERVER_FAIL)
__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) { return E_ACCESSDENIED; }
__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) { return E_ACCESSDENIED; }
#else
__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) { return MarkServer(self, "registered"); }
__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) { return MarkServer(self, "unregistered"); }
#endif
#endif
