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
    // LOAD_LIBRARY_SEARCH_SYSTEM32 where the loader knows it (Windows 7 with
    // KB2533623 and later); otherwise the full path in the system directory.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel && GetProcAddress(kernel, "AddDllDirectory")) {
        if (HMODULE h = LoadLibraryExA(name, nullptr, 0x00000800 /*LOAD_LIBRARY_SEARCH_SYSTEM32*/))
            return h;
    }
    std::vector<char> dir(MAX_PATH + 1);
    UINT n = GetSystemDirectoryA(dir.data(), static_cast<UINT>(dir.size()));
    if (n >= dir.size()) {
        dir.resize(n + 1);
        n = GetSystemDirectoryA(dir.data(), static_cast<UINT>(dir.size()));
    }
    if (n == 0) return nullptr;
    std::string path(dir.data(), n);
    path += '\\';
    path += name;
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace dp
