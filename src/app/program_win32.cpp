#include "app/program_win32.h"

#include <vector>

namespace dp {
namespace {
HINSTANCE g_instance = nullptr;
}

HINSTANCE ProgramInstance() { return g_instance ? g_instance : GetModuleHandleA(nullptr); }
void SetProgramInstance(HINSTANCE instance) { g_instance = instance; }

std::string ExecutablePath() {
    std::vector<char> buf(MAX_PATH + 1);
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size() - 1) return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
        if (buf.size() > 65536) return std::string(buf.data(), n);
    }
}

std::string ProgramDirectory() {
    std::string path = ExecutablePath();
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

HMODULE LoadSystemLibrary(const char* name) {
    // Always by its full path in the system directory: a bare name would also
    // match a module of that name already loaded from anywhere (a copy planted
    // beside the program and pulled in as another DLL's dependency), which a
    // full path never does. Its own dependencies come from the system
    // directory too: LOAD_LIBRARY_SEARCH_SYSTEM32 where the loader knows it
    // (Windows 7 with KB2533623 and later), else the altered search path that
    // starts in the DLL's own directory.
    std::vector<char> dir(MAX_PATH + 1);
    UINT n = GetSystemDirectoryA(dir.data(), static_cast<UINT>(dir.size()));
    if (n >= dir.size()) {
        dir.resize(n + 1);
        n = GetSystemDirectoryA(dir.data(), static_cast<UINT>(dir.size()));
    }
    if (n == 0 || n >= dir.size()) return nullptr;
    std::string path(dir.data(), n);
    if (path.back() != '\\') path += '\\';
    path += name;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel && GetProcAddress(kernel, "AddDllDirectory")) {
        if (HMODULE h = LoadLibraryExA(path.c_str(), nullptr, 0x00000800 /*LOAD_LIBRARY_SEARCH_SYSTEM32*/))
            return h;
    }
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace dp
