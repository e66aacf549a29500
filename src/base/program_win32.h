#pragma once
// Process-wide facts of the running program and of the system it runs on.
#include <windows.h>

#include <string>

namespace dp {

// The module whose resources (strings, dialogs, icon) the program uses.
// Defaults to the process's exe; WinMain stores its instance handle.
HINSTANCE ProgramInstance();
void SetProgramInstance(HINSTANCE instance);

// Full path of the running executable (no length limit).
std::string ExecutablePath();
// Its directory, up to and including the last backslash.
std::string ProgramDirectory();

// The system and Windows directories, without a final backslash ("" when the
// system cannot give them).
std::string SystemDirectory();
std::string WindowsDirectory();
// A file of the system directory by its full path ("" without one).
std::string SystemFilePath(const char* name);

// Whether this 32-bit process runs on a 64-bit system (under WOW64).
bool RunsOnSixtyFourBitSystem();
// Whether the system is of the NT family (not 95, 98 or Me).
bool RunsOnNtFamily();
// A file of the 64-bit system directory as this process reaches it (through
// "Sysnative" under WOW64); "" without a Windows directory.
std::string NativeSystemFilePath(const char* name);

// An environment variable's value ("" when it is not set).
std::string EnvironmentText(const char* name);
// The current user's profile folder (userenv's GetUserProfileDirectoryA);
// "" when it cannot be had.
std::string UserProfileDirectory();
// A folder from one of userenv's "Get...DirectoryA(buffer, size)" calls
// (GetProfilesDirectoryA, GetAllUsersProfileDirectoryA, ...); "" when the
// system has no such call or it fails.
std::string ProfileFolder(const char* function);

// Loads a system library from the system directory only (never from the
// program's or the current directory).
HMODULE LoadSystemLibrary(const char* name);

template <typename F>
F ProcAddress(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// A text from a call that fills a caller's buffer and says how long its text
// is: fill(buffer, size) returns 0 for a failure, a length below size when
// the text fitted, anything else when it did not (the needed size, or the
// buffer's size for calls that cut). The buffer grows until the text fits;
// "" on failure.
template <typename Fill>
std::string GrowingText(Fill fill, size_t initial = MAX_PATH + 1) {
    std::string buffer(initial, '\0');
    for (int tries = 0; tries < 16; ++tries) {
        const size_t n = static_cast<size_t>(fill(buffer.data(), buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.assign(n + 1 > buffer.size() * 2 ? n + 1 : buffer.size() * 2, '\0');
    }
    return {};
}

}  // namespace dp
