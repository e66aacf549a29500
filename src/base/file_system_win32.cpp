#include "base/file_system_win32.h"

#include "base/handles_win32.h"

#include <exception>

namespace dp {
namespace {
uint32_t ErrorUnless(BOOL ok) { return ok ? 0 : GetLastError(); }
}  // namespace

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint32_t GetPathAttributes(const std::string& path, DWORD& attributes) {
    attributes = GetFileAttributesA(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
}

uint32_t SetPathAttributes(const std::string& path, DWORD attributes) {
    return ErrorUnless(SetFileAttributesA(path.c_str(), attributes));
}

uint32_t CreateFolderIfMissing(const std::string& folder) {
    if (PathExists(folder)) return 0;
    if (CreateDirectoryA(folder.c_str(), nullptr)) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

uint32_t RemoveFolder(const std::string& folder) { return ErrorUnless(RemoveDirectoryA(folder.c_str())); }

uint32_t DeleteFileAt(const std::string& path) { return ErrorUnless(DeleteFileA(path.c_str())); }

uint32_t ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return GetLastError();
    if (size.QuadPart > 0x7fffffff) return ERROR_NOT_ENOUGH_MEMORY;
    try {
        bytes.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::exception&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return GetLastError();
    bytes.resize(read);  // the file may have shrunk meanwhile
    return 0;
}

uint32_t ReadFileHead(const std::string& path, size_t limit, std::string& bytes) {
    bytes.clear();
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    bytes.resize(limit > 0x7fffffff ? 0x7fffffff : limit);
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        bytes.clear();
        return GetLastError();
    }
    bytes.resize(read);
    return 0;
}

uint32_t LoadLibraryAt(const std::string& path, DWORD flags, HMODULE& module) {
    module = LoadLibraryExA(path.c_str(), nullptr, flags);
    return module ? 0 : GetLastError();
}

uint32_t ListFolder(const std::string& folder,
                    const std::function<void(const std::string& name, DWORD attributes)>& visit) {
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!find) return GetLastError();
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        visit(name, found.dwFileAttributes);
    } while (FindNextFileA(find.get(), &found));
    return 0;
}

}  // namespace dp
