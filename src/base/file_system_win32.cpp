#include "base/file_system_win32.h"

#include "base/handles_win32.h"
#include "base/program_win32.h"

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

uint32_t FullPathName(const std::string& path, std::string& full) {
    full = GrowingText([&](char* buffer, size_t size) {
        return GetFullPathNameA(path.c_str(), static_cast<DWORD>(size), buffer, nullptr);
    });
    if (full.empty()) return path.empty() ? ERROR_INVALID_NAME : GetLastError();
    std::string longer = GrowingText([&](char* buffer, size_t size) {
        return GetLongPathNameA(full.c_str(), buffer, static_cast<DWORD>(size));
    });
    if (!longer.empty()) full = std::move(longer);
    return 0;
}

uint32_t FinalPathName(const std::string& path, std::string& final) {
    final.clear();
    using GetFinal = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
    static const GetFinal get =
        ProcAddress<GetFinal>(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA");
    if (!get) return ERROR_CALL_NOT_IMPLEMENTED;
    UniqueFile file(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return GetLastError();
    final = GrowingText([&](char* buffer, size_t size) {
        return get(file.get(), buffer, static_cast<DWORD>(size), 0 /*FILE_NAME_NORMALIZED, VOLUME_NAME_DOS*/);
    });
    return final.empty() ? GetLastError() : 0;
}

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
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
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
    if (size != 0 && !ReadFile(file.get(), bytes.data(), size, &read, nullptr)) {
        bytes.clear();
        return GetLastError();
    }
    bytes.resize(read);
    return 0;
}

uint32_t ReadFileHead(const std::string& path, size_t limit, std::string& bytes) {
    return ReadFilePart(path, 0, static_cast<uint32_t>(limit > 0x7fffffff ? 0x7fffffff : limit), bytes);
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
