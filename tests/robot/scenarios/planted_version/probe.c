/* The control of the planting scenario: loads version.dll and userenv.dll by
   their bare names, the way a program that trusts the search order would, and
   calls a function of each. With the native-first override the planted copies
   beside it are the ones used, which proves that the planted DLLs and the
   override work. */
#include <windows.h>

typedef DWORD(WINAPI* SizeFn)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* ProfileFn)(HANDLE, LPSTR, LPDWORD);

int main(void) {
    HMODULE version = LoadLibraryA("version.dll");
    HMODULE userenv = LoadLibraryA("userenv.dll");
    if (!version || !userenv) return 1;
    SizeFn size = (SizeFn)(void*)GetProcAddress(version, "GetFileVersionInfoSizeA");
    ProfileFn profile = (ProfileFn)(void*)GetProcAddress(userenv, "GetUserProfileDirectoryA");
    if (!size || !profile) return 1;
    DWORD handle = 0;
    DWORD length = 0;
    size("C:\\windows\\system32\\shell32.dll", &handle);
    profile(NULL, NULL, &length);
    return 0;
}
