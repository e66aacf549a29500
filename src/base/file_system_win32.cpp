#include "base/file_system_win32.h"

#include <exception>

#include "base/program_win32.h"
#include "base/system_text.h"
#include "base/target_architecture_win32.h"

namespace dp {
namespace {

uint32_t Refuse(SystemPath& p, uint32_t error) {
    p.error = error;
    SetLastError(error);
    return error;
}

uint32_t ErrorUnless(BOOL ok) { return ok ? 0 : GetLastError(); }

std::string Narrow(const wchar_t* text, size_t length) {
    return ToSystemCodePage({reinterpret_cast<const char16_t*>(text), length});
}

// A path out of the "\\?\" form, in the system code page: "\\?\C:\x" gives
// "C:\x", "\\?\UNC\srv\x" gives "\\srv\x".
std::string FromLongForm(std::wstring_view path) {
    if (path.substr(0, 8) == L"\\\\?\\UNC\\") return "\\\\" + Narrow(path.data() + 8, path.size() - 8);
    if (path.substr(0, 4) == L"\\\\?\\") path.remove_prefix(4);
    return Narrow(path.data(), path.size());
}

// The system's full path of a wide path (GetFullPathNameW): relative parts
// resolved, "." and ".." removed, trailing dots and blanks of the last part
// dropped, as every ANSI call would see it.
uint32_t FullPath(const std::wstring& given, std::wstring& full) {
    DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    for (int tries = 0; tries < 4 && size != 0; ++tries) {
        full.assign(size, L'\0');
        const DWORD n = GetFullPathNameW(given.c_str(), size, full.data(), nullptr);
        if (n == 0) break;
        if (n < size) {
            full.resize(n);
            return 0;
        }
        size = n;  // the current folder changed meanwhile
    }
    const DWORD error = GetLastError();
    return error ? error : ERROR_INVALID_NAME;
}

std::u16string_view U16(const std::wstring& text) {
    return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

std::wstring FromU16(const std::u16string& text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

// The 64-bit system folder in the "\\?\" form: by its real name and by its
// alias (empty when the system cannot tell).
struct LongFolderNames {
    std::u16string real, alias;
};
const LongFolderNames& LongFolders() {
    static const LongFolderNames names = [] {
        const NativeSystemFolder& folder = NativeSystemFolderNames();
        LongFolderNames n;
        if (folder.realWide.empty() || folder.aliasWide.empty()) return n;
        n.real = LongPathForm(folder.realWide);
        n.alias = LongPathForm(folder.aliasWide);
        return n;
    }();
    return names;
}

DWORD Attributes(const SystemPath& p) {
    return p.wide ? GetFileAttributesW(p.w.c_str()) : GetFileAttributesA(p.a.c_str());
}

// The policy; `reach` takes a path in the 64-bit system folder through its
// alias in a 64-bit run (the form of every call), without it the path keeps
// its real name (the form handed back).
SystemPath MakeSystemPathAs(const std::string& path, bool reach) {
    SystemPath p;
    if (const uint32_t refused = CheckPathText(path)) {
        Refuse(p, refused);
        return p;
    }
    if (path.empty()) {
        Refuse(p, ERROR_PATH_NOT_FOUND);
        return p;
    }
    if (!RunsOnNtFamily()) {  // the 9x family has the wide calls only as stubs
        if (path.size() >= MAX_PATH) Refuse(p, kErrorNameTooLong);
        else p.a = path;
        return p;
    }
    p.wide = true;
    const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (n <= 0) {
        Refuse(p, GetLastError());
        return p;
    }
    // Checked before any call: the system would cut a longer path.
    if (static_cast<size_t>(n) >= kMaxWidePath) {
        Refuse(p, kErrorNameTooLong);
        return p;
    }
    std::wstring given(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), given.data(), n);

    std::wstring full;
    if (given.compare(0, 4, L"\\\\?\\") == 0) {
        full = std::move(given);  // already in the form every call takes
    } else if (const uint32_t error = FullPath(given, full)) {
        Refuse(p, error);
        return p;
    }
    std::u16string form =
        LongPathForm(std::u16string_view(reinterpret_cast<const char16_t*>(full.data()), full.size()));
    if (reach && SixtyFourBitTargets() && !form.empty() && !LongFolders().real.empty())
        form = ReplaceLeadingFolder(form, LongFolders().real, LongFolders().alias);
    if (form.empty() || IsReservedDeviceName(LastPathPart(form))) {
        Refuse(p, kErrorInvalidName);
        return p;
    }
    if (form.size() >= kMaxWidePath) {
        Refuse(p, kErrorNameTooLong);
        return p;
    }
    p.w.assign(reinterpret_cast<const wchar_t*>(form.data()), form.size());
    return p;
}

}  // namespace

SystemPath MakeSystemPath(const std::string& path) { return MakeSystemPathAs(path, true); }

std::string ReachablePath(const std::string& path) {
    if (!SixtyFourBitTargets()) return path;
    const NativeSystemFolder& folder = NativeSystemFolderNames();
    return folder.real.empty() ? path : ReplaceLeadingFolder(path, folder.real, folder.alias);
}

std::string RealSystemPath(const std::string& path) {
    const NativeSystemFolder& folder = NativeSystemFolderNames();
    return folder.alias.empty() ? path : ReplaceLeadingFolder(path, folder.alias, folder.real);
}

uint32_t CheckPath(const std::string& path) { return MakeSystemPath(path).error; }

bool PathExists(const std::string& path) {
    const SystemPath p = MakeSystemPath(path);
    return !p.error && Attributes(p) != INVALID_FILE_ATTRIBUTES;
}

uint32_t GetPathAttributes(const std::string& path, DWORD& attributes) {
    attributes = INVALID_FILE_ATTRIBUTES;
    const SystemPath p = MakeSystemPath(path);
    if (p.error) return p.error;
    attributes = Attributes(p);
    return attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
}

uint32_t SetPathAttributes(const std::string& path, DWORD attributes) {
    const SystemPath p = MakeSystemPath(path);
    if (p.error) return p.error;
    return ErrorUnless(p.wide ? SetFileAttributesW(p.w.c_str(), attributes)
                              : SetFileAttributesA(p.a.c_str(), attributes));
}

uint32_t CreateFolderIfMissing(const std::string& folder) {
    const SystemPath p = MakeSystemPath(folder);
    if (p.error) return p.error;
    if (Attributes(p) != INVALID_FILE_ATTRIBUTES) return 0;
    if (p.wide ? CreateDirectoryW(p.w.c_str(), nullptr) : CreateDirectoryA(p.a.c_str(), nullptr)) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

uint32_t RemoveFolder(const std::string& folder) {
    const SystemPath p = MakeSystemPath(folder);
    if (p.error) return p.error;
    return ErrorUnless(p.wide ? RemoveDirectoryW(p.w.c_str()) : RemoveDirectoryA(p.a.c_str()));
}

uint32_t DeleteFileAt(const std::string& path) {
    const SystemPath p = MakeSystemPath(path);
    if (p.error) return p.error;
    if (!(p.wide ? DeleteFileW(p.w.c_str()) : DeleteFileA(p.a.c_str()))) return GetLastError();
    if (Attributes(p) == INVALID_FILE_ATTRIBUTES) return 0;
    SetLastError(ERROR_FILE_EXISTS);
    return ERROR_FILE_EXISTS;
}

UniqueFile OpenFileAt(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags, uint32_t& error) {
    const SystemPath p = MakeSystemPath(path);
    error = p.error;
    if (error) return UniqueFile();
    UniqueFile file(p.wide ? CreateFileW(p.w.c_str(), access, share, nullptr, disposition, flags, nullptr)
                           : CreateFileA(p.a.c_str(), access, share, nullptr, disposition, flags, nullptr));
    if (!file) error = GetLastError();
    return file;
}

std::FILE* OpenStreamAt(const std::string& path, const char* mode) {
    const SystemPath p = MakeSystemPath(path);
    if (p.error) return nullptr;
    if (!p.wide) return std::fopen(p.a.c_str(), mode);
    std::wstring wideMode;
    for (const char* c = mode; *c; ++c) wideMode += static_cast<wchar_t>(*c);
    return _wfopen(p.w.c_str(), wideMode.c_str());
}

uint32_t FullPathName(const std::string& path, std::string& full) {
    full.clear();
    if (path.empty()) return ERROR_INVALID_NAME;
    const SystemPath p = MakeSystemPathAs(path, false);
    if (p.error) return p.error;
    if (!p.wide) {
        full = GrowingText([&](char* buffer, size_t size) {
            return GetFullPathNameA(p.a.c_str(), static_cast<DWORD>(size), buffer, nullptr);
        });
        if (full.empty()) return GetLastError();
        std::string longer = GrowingText([&](char* buffer, size_t size) {
            return GetLongPathNameA(full.c_str(), buffer, static_cast<DWORD>(size));
        });
        if (!longer.empty()) full = std::move(longer);
        return 0;
    }
    // The "\\?\" form is the full path already; where it exists, with long names.
    std::wstring longer(p.w.size() + 1, L'\0');
    DWORD n = GetLongPathNameW(p.w.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (n >= longer.size()) {
        longer.assign(n + 1, L'\0');
        n = GetLongPathNameW(p.w.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    }
    full = n != 0 && n < longer.size() ? FromLongForm(std::wstring_view(longer.data(), n)) : FromLongForm(p.w);
    return 0;
}

uint32_t FinalPathName(const std::string& path, std::string& final) {
    final.clear();
    using GetFinal = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
    static const GetFinal get =
        ProcAddress<GetFinal>(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA");
    if (!get) return ERROR_CALL_NOT_IMPLEMENTED;
    uint32_t error = 0;
    UniqueFile file = OpenFileAt(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, error);
    if (!file) return error;
    final = GrowingText([&](char* buffer, size_t size) {
        return get(file.get(), buffer, static_cast<DWORD>(size), 0 /*FILE_NAME_NORMALIZED, VOLUME_NAME_DOS*/);
    });
    return final.empty() ? GetLastError() : 0;
}

uint32_t ReadFilePart(const std::string& path, uint64_t offset, uint32_t size, std::string& bytes) {
    bytes.clear();
    uint32_t error = 0;
    UniqueFile file = OpenFileAt(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, error);
    if (!file) return error;
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

uint32_t WidePath(const std::string& path, std::wstring& wide) {
    wide.clear();
    if (path.empty()) return 0;
    const SystemPath p = MakeSystemPath(path);
    if (p.error) return p.error;
    if (p.wide) {
        wide = p.w;
        return 0;
    }
    const int n = MultiByteToWideChar(CP_ACP, 0, p.a.data(), static_cast<int>(p.a.size()), nullptr, 0);
    if (n <= 0) return GetLastError();
    wide.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, p.a.data(), static_cast<int>(p.a.size()), wide.data(), n);
    return 0;
}

uint32_t ShellPath(const std::string& path, std::wstring& wide) {
    if (const uint32_t error = WidePath(path, wide)) return error;
    // As the library loading does: the plain form where it is enough.
    std::wstring plain;
    if (wide.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        plain = L"\\\\" + wide.substr(8);
    else if (wide.compare(0, 4, L"\\\\?\\") == 0)
        plain = wide.substr(4);
    else
        return 0;
    if (plain.size() < MAX_PATH) wide = std::move(plain);
    return 0;
}

uint32_t ShortPathName(const std::string& path, std::string& shortForm) {
    shortForm.clear();
    const SystemPath p = MakeSystemPath(path);
    if (p.error) return p.error;
    if (!p.wide) {
        shortForm = GrowingText([&](char* buffer, size_t size) {
            return GetShortPathNameA(p.a.c_str(), buffer, static_cast<DWORD>(size));
        });
        return shortForm.empty() ? GetLastError() : 0;
    }
    std::wstring out(p.w.size() + 1, L'\0');
    DWORD n = GetShortPathNameW(p.w.c_str(), out.data(), static_cast<DWORD>(out.size()));
    if (n >= out.size()) {
        out.assign(n + 1, L'\0');
        n = GetShortPathNameW(p.w.c_str(), out.data(), static_cast<DWORD>(out.size()));
    }
    if (n == 0 || n >= out.size()) return n == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
    shortForm = FromLongForm(std::wstring_view(out.data(), n));
    return 0;
}

uint32_t ReadWholeFile(const std::string& path, std::string& bytes, uint64_t limit) {
    bytes.clear();
    uint32_t error = 0;
    UniqueFile file = OpenFileAt(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, error);
    if (!file) return error;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return GetLastError();
    if (size.QuadPart > 0x7fffffff || static_cast<uint64_t>(size.QuadPart) > limit) return ERROR_NOT_ENOUGH_MEMORY;
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

uint32_t LoadLibraryAt(const std::string& path, DWORD flags, HMODULE& module) {
    module = nullptr;
    const SystemPath p = MakeSystemPath(path);
    if (p.error) return p.error;
    // A path the ANSI loader can hold is given to it as it is (it derives the
    // library's own folder for the search from it); only a longer one, on
    // the NT family, goes through the "\\?\" form.
    const std::string reached = ReachablePath(path);
    module = reached.size() < MAX_PATH || !p.wide ? LoadLibraryExA(reached.c_str(), nullptr, flags)
                                                  : LoadLibraryExW(p.w.c_str(), nullptr, flags);
    return module ? 0 : GetLastError();
}

uint32_t ListFolder(const std::string& folder,
                    const std::function<void(const std::string& name, DWORD attributes)>& visit) {
    const SystemPath p = MakeSystemPath(folder);
    if (p.error) return p.error;
    if (!p.wide) {
        WIN32_FIND_DATAA found;
        UniqueFind find(FindFirstFileA((p.a + "\\*").c_str(), &found));
        if (!find) return GetLastError();
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") visit(name, found.dwFileAttributes);
        } while (FindNextFileA(find.get(), &found));
        return 0;
    }
    const std::wstring pattern = p.w + (p.w.back() == L'\\' ? L"*" : L"\\*");
    WIN32_FIND_DATAW found;
    UniqueFind find(FindFirstFileW(pattern.c_str(), &found));
    if (!find) return GetLastError();
    do {
        const std::wstring_view name(found.cFileName);
        if (name != L"." && name != L"..") visit(Narrow(name.data(), name.size()), found.dwFileAttributes);
    } while (FindNextFileW(find.get(), &found));
    return 0;
}

uint32_t CopyFileAt(const std::string& source, const std::string& target, bool failIfExists) {
    const SystemPath from = MakeSystemPath(source);
    if (from.error) return from.error;
    const SystemPath to = MakeSystemPath(target);
    if (to.error) return to.error;
    return ErrorUnless(from.wide ? CopyFileW(from.w.c_str(), to.w.c_str(), failIfExists)
                                 : CopyFileA(from.a.c_str(), to.a.c_str(), failIfExists));
}

uint32_t MoveFileAt(const std::string& from, const std::string& to, DWORD flags) {
    const SystemPath source = MakeSystemPath(from);
    if (source.error) return source.error;
    SystemPath target;
    if (!to.empty()) {
        target = MakeSystemPath(to);
        if (target.error) return target.error;
    }
    if (source.wide && (flags & MOVEFILE_DELAY_UNTIL_REBOOT) && !LongFolders().alias.empty()) {
        // The list is carried out at the next start by the system, which
        // knows no alias. Paths through it get the folder's real name, which
        // this process may only use with redirection off; a path still named
        // by the real name means the redirected folder and stays as it is.
        const LongFolderNames& folders = LongFolders();
        const bool aliased = IsInFolder(U16(source.w), folders.alias) ||
                             (!to.empty() && IsInFolder(U16(target.w), folders.alias));
        const bool redirected = IsInFolder(U16(source.w), folders.real) ||
                                (!to.empty() && IsInFolder(U16(target.w), folders.real));
        if (aliased && !redirected) {
            const std::wstring realSource = FromU16(ReplaceLeadingFolder(U16(source.w), folders.alias, folders.real));
            const std::wstring realTarget =
                to.empty() ? std::wstring() : FromU16(ReplaceLeadingFolder(U16(target.w), folders.alias, folders.real));
            BOOL moved = FALSE;
            DWORD error = 0;
            {
                const RedirectionOff off;
                moved = MoveFileExW(realSource.c_str(), to.empty() ? nullptr : realTarget.c_str(), flags);
                if (!moved) error = GetLastError();
            }
            return moved ? 0 : error;
        }
    }
    if (source.wide)
        return ErrorUnless(MoveFileExW(source.w.c_str(), to.empty() ? nullptr : target.w.c_str(), flags));
    return ErrorUnless(MoveFileExA(source.a.c_str(), to.empty() ? nullptr : target.a.c_str(), flags));
}

uint32_t PathDataAt(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    data = WIN32_FILE_ATTRIBUTE_DATA{};
    const SystemPath p = MakeSystemPath(path);
    if (p.error) return p.error;
    return ErrorUnless(p.wide ? GetFileAttributesExW(p.w.c_str(), GetFileExInfoStandard, &data)
                              : GetFileAttributesExA(p.a.c_str(), GetFileExInfoStandard, &data));
}

uint32_t FileSizeAt(const std::string& path, uint64_t& size) {
    size = 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (const uint32_t error = PathDataAt(path, data)) return error;
    size = FileSizeValue(data);
    return 0;
}

uint32_t FreeSpaceAt(const std::string& folder, uint64_t& bytes) {
    bytes = 0;
    const SystemPath p = MakeSystemPath(folder);
    if (p.error) return p.error;
    ULARGE_INTEGER available{};
    BOOL ok;
    if (p.wide) {
        const std::wstring root = p.w.back() == L'\\' ? p.w : p.w + L"\\";
        ok = GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr);
    } else {
        const std::string root = p.a.back() == '\\' ? p.a : p.a + "\\";
        ok = GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr);
    }
    if (!ok) return GetLastError();
    bytes = available.QuadPart;
    return 0;
}

std::string ShortPathOf(const std::string& path) {
    const SystemPath p = MakeSystemPath(path);
    if (p.error || p.wide) return path;  // only the 9x family reads WinInit.Ini
    std::string out(MAX_PATH + 1, '\0');
    const DWORD n = GetShortPathNameA(p.a.c_str(), out.data(), static_cast<DWORD>(out.size()));
    if (n == 0 || n >= out.size()) return path;
    out.resize(n);
    return out;
}

}  // namespace dp
