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

uint32_t ReadFilePart(const std::string& path, uint64_t offset, uint32_t size, std::string& bytes) {
    bytes.clear();
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return GetLastError();
    try {
        bytes.resize(size);
    } catch (const std::exception&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD read = 0;
    if (size != 0 && !ReadFile(file.get(), bytes.data(), size, &read, nullptr)) return GetLastError();
    bytes.resize(read);
    return 0;
}

uint32_t WidePath(const std::string& path, std::wstring& wide) {
    constexpr size_t kLongestPath = 32767;
    wide.clear();
    if (path.empty()) return 0;
    // Every character takes one or two bytes.
    if (path.size() > 2 * kLongestPath) return ERROR_FILENAME_EXCED_RANGE;
    const int size = static_cast<int>(path.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), size, nullptr, 0);
    if (n <= 0) return GetLastError();
    if (static_cast<size_t>(n) > kLongestPath) return ERROR_FILENAME_EXCED_RANGE;
    wide.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, path.data(), size, wide.data(), n);
    return 0;
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
