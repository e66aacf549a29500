#include "base/program_win32.h"

#include "base/handles_win32.h"

namespace dp {
namespace {
HINSTANCE g_instance = nullptr;
}

HINSTANCE ProgramInstance() { return g_instance ? g_instance : GetModuleHandleA(nullptr); }
void SetProgramInstance(HINSTANCE instance) { g_instance = instance; }

std::string ExecutablePath() {
    return GrowingText([](char* buffer, size_t size) {
        return GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
    });
}

std::string ProgramDirectory() {
    std::string path = ExecutablePath();
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string SystemDirectory() {
    return GrowingText([](char* buffer, size_t size) {
        return GetSystemDirectoryA(buffer, static_cast<UINT>(size));
    });
}

std::string WindowsDirectory() {
    return GrowingText([](char* buffer, size_t size) {
        return GetWindowsDirectoryA(buffer, static_cast<UINT>(size));
    });
}

std::string SystemFilePath(const char* name) {
    std::string path = SystemDirectory();
    if (path.empty()) return {};
    if (path.back() != '\\') path += '\\';
    return path + name;
}

bool RunsOnSixtyFourBitSystem() {
    // IsWow64Process is looked up: systems before it are all 32-bit.
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto isWow64 = kernel ? ProcAddress<IsWow64>(kernel, "IsWow64Process") : nullptr;
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

bool RunsOnNtFamily() {
    static const bool nt = (GetVersion() & 0x80000000u) == 0;
    return nt;
}

std::string NativeSystemFilePath(const char* name) {
    if (!RunsOnSixtyFourBitSystem()) return SystemFilePath(name);
    const std::string windows = WindowsDirectory();
    if (windows.empty()) return {};
    return windows + (windows.back() == '\\' ? "" : "\\") + "Sysnative\\" + name;
}

HMODULE LoadSystemLibrary(const char* name) {
    // Always by its full path in the system directory: a bare name would also
    // match a module of that name already loaded from anywhere (a copy planted
    // beside the program and pulled in as another DLL's dependency), which a
    // full path never does. Its own dependencies come from the system
    // directory too: LOAD_LIBRARY_SEARCH_SYSTEM32 where the loader knows it
    // (Windows 7 with KB2533623 and later), else the altered search path that
    // starts in the DLL's own directory.
    const std::string path = SystemFilePath(name);
    if (path.empty()) return nullptr;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel && GetProcAddress(kernel, "AddDllDirectory")) {
        if (HMODULE h = LoadLibraryExA(path.c_str(), nullptr, 0x00000800 /*LOAD_LIBRARY_SEARCH_SYSTEM32*/))
            return h;
    }
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::string EnvironmentText(const char* name) {
    return GrowingText([name](char* buffer, size_t size) {
        return GetEnvironmentVariableA(name, buffer, static_cast<DWORD>(size));
    });
}

namespace {

// The folder that one of userenv's "(..., buffer, size in and out)" calls
// fills in, "" when it fails. Asked with a buffer first: asked for the size
// alone, Wine answers nothing.
template <typename Fill>
std::string UserenvText(Fill fill) {
    DWORD size = MAX_PATH + 1;
    std::string folder(size, '\0');
    if (!fill(folder.data(), &size)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
        folder.assign(size + 1, '\0');
        if (!fill(folder.data(), &size)) return {};
    }
    return folder.substr(0, folder.find('\0'));
}

}  // namespace

std::string UserProfileDirectory() {
    using Get = BOOL(WINAPI*)(HANDLE, LPSTR, LPDWORD);
    const UniqueModule userenv(LoadSystemLibrary("userenv.dll"));
    const Get get = userenv ? ProcAddress<Get>(userenv.get(), "GetUserProfileDirectoryA") : nullptr;
    UniqueHandle token;
    if (!get || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    return UserenvText([&](char* buffer, DWORD* size) { return get(token.get(), buffer, size); });
}

std::string ProfileFolder(const char* function) {
    using Get = BOOL(WINAPI*)(LPSTR, LPDWORD);
    const UniqueModule userenv(LoadSystemLibrary("userenv.dll"));
    const Get get = userenv ? ProcAddress<Get>(userenv.get(), function) : nullptr;
    if (!get) return {};
    return UserenvText(get);
}

}  // namespace dp
