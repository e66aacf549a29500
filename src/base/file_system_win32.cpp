#include "base/file_system_win32.h"

#include <windows.h>

namespace dp {

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

unsigned long CreateFolderIfMissing(const std::string& folder) {
    if (PathExists(folder)) return 0;
    if (CreateDirectoryA(folder.c_str(), nullptr)) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

}  // namespace dp
