/* The start of a program that imports what deployator.exe imports (the user,
   graphics, shell and shell-utility libraries beside kernel32 and advapi32)
   and does nothing: under Wine the start of those libraries alone, beside a
   bare program that imports kernel32 only. */
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

int main(int argc, char** argv) {
    (void)argv;
    if (argc > 100) { /* never: the calls only make the imports */
        HKEY key;
        char path[MAX_PATH];
        MessageBoxA(NULL, "", "", 0);
        GetStockObject(0);
        SHGetSpecialFolderPathA(NULL, path, 0, FALSE);
        SHDeleteKeyA(HKEY_CURRENT_USER, "");
        RegOpenKeyA(HKEY_CURRENT_USER, "", &key);
    }
    return 0;
}
