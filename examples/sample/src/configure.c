/* The sample package's set-up tool, run by the installation script:
     configure.exe /check        before anything is installed: exit code 0
     configure.exe /setup DIR    after the installation: writes DIR\configured.txt
   A GUI program without a window, so that no console opens. */
#include <windows.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "/check") == 0) return 0;
    if (argc == 3 && strcmp(argv[1], "/setup") == 0) {
        char path[MAX_PATH];
        static const char text[] = "[Sample]\r\nConfigured=yes\r\n";
        DWORD written = 0;
        HANDLE file;
        if (lstrlenA(argv[2]) + 16 > MAX_PATH) return 2;
        lstrcpyA(path, argv[2]);
        lstrcatA(path, "\\configured.txt");
        file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (file == INVALID_HANDLE_VALUE) return 3;
        WriteFile(file, text, sizeof text - 1, &written, NULL);
        CloseHandle(file);
        return 0;
    }
    return 1;
}
