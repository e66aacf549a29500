/* A program for the program-run tests, started by the installer:
     runhelper.exe [code=N] [record=FILE] [tag=TEXT] [probe=PATH]... [hello=FILE] [gate=FILE]
   With hello=, creates FILE as soon as it runs. With gate=, then waits until
   FILE can be opened (while a test holds it open without sharing, the
   program stays running). With record=, appends one line to FILE: TEXT, then
   " 1" or " 0" for each probe (whether PATH exists at that moment), then
   " in " and its own path. Ends with exit code N (default 0). A GUI
   program: it opens no console and no window. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char* Option(const char* arg, const char* name) {
    size_t n = strlen(name);
    return strncmp(arg, name, n) == 0 ? arg + n : NULL;
}

int main(int argc, char** argv) {
    int code = 0;
    const char* record = NULL;
    const char* tag = "";
    const char* gate = NULL;
    const char* hello = NULL;
    char line[8192];
    char self[MAX_PATH];
    int i;
    size_t used;
    for (i = 1; i < argc; ++i) {
        const char* v;
        if ((v = Option(argv[i], "code="))) code = atoi(v);
        else if ((v = Option(argv[i], "record="))) record = v;
        else if ((v = Option(argv[i], "tag="))) tag = v;
        else if ((v = Option(argv[i], "gate="))) gate = v;
        else if ((v = Option(argv[i], "hello="))) hello = v;
    }
    if (hello) CloseHandle(CreateFileA(hello, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    if (gate) {
        /* Up to two minutes: a test that fails to let go must not hang for ever. */
        for (i = 0; i < 6000; ++i) {
            HANDLE h = CreateFileA(gate, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
            if (h != INVALID_HANDLE_VALUE) {
                CloseHandle(h);
                break;
            }
            if (GetLastError() != ERROR_SHARING_VIOLATION) break;
            Sleep(20);
        }
    }
    if (record) {
        used = (size_t)snprintf(line, sizeof line, "%s", tag);
        for (i = 1; i < argc && used < sizeof line; ++i) {
            const char* v = Option(argv[i], "probe=");
            if (v) used += (size_t)snprintf(line + used, sizeof line - used, " %d",
                                            GetFileAttributesA(v) != INVALID_FILE_ATTRIBUTES);
        }
        self[0] = 0;
        GetModuleFileNameA(NULL, self, sizeof self);
        if (used < sizeof line) snprintf(line + used, sizeof line - used, " in %s\r\n", self);
        {
            HANDLE f = INVALID_HANDLE_VALUE;
            /* Several programs may append at once: retry while another holds the file. */
            for (i = 0; i < 500 && f == INVALID_HANDLE_VALUE; ++i) {
                f = CreateFileA(record, FILE_APPEND_DATA, 0, NULL, OPEN_ALWAYS, 0, NULL);
                if (f == INVALID_HANDLE_VALUE) Sleep(10);
            }
            if (f != INVALID_HANDLE_VALUE) {
                DWORD written;
                WriteFile(f, line, (DWORD)strlen(line), &written, NULL);
                CloseHandle(f);
            }
        }
    }
    return code;
}
