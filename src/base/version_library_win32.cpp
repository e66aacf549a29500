#include "base/version_library_win32.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/file_system_win32.h"
#include "base/program_win32.h"
#include "base/system_text.h"

namespace dp {
namespace {

struct VersionLibrary {
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    using SizeWFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoWFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryWFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    VersionLibrary() {
        module = LoadSystemLibrary("version.dll");
        if (!module) {
            loadError = GetLastError();
            return;
        }
        getSize = ProcAddress<SizeFn>(module, "GetFileVersionInfoSizeA");
        getInfo = ProcAddress<InfoFn>(module, "GetFileVersionInfoA");
        query = ProcAddress<QueryFn>(module, "VerQueryValueA");
        getSizeW = ProcAddress<SizeWFn>(module, "GetFileVersionInfoSizeW");
        getInfoW = ProcAddress<InfoWFn>(module, "GetFileVersionInfoW");
        queryW = ProcAddress<QueryWFn>(module, "VerQueryValueW");
        if (!getSize || !getInfo || !query) loadError = ERROR_PROC_NOT_FOUND;
    }
    bool ok(bool wide) const {
        return module && (wide ? getSizeW && getInfoW && queryW : getSize && getInfo && query);
    }

    HMODULE module = nullptr;
    DWORD loadError = 0;
    SizeFn getSize = nullptr;
    InfoFn getInfo = nullptr;
    QueryFn query = nullptr;
    SizeWFn getSizeW = nullptr;
    InfoWFn getInfoW = nullptr;
    QueryWFn queryW = nullptr;
};

// One query of a block, through the function that matches how it was read;
// a text value of the wide function is handed back in the system code page.
bool QueryValue(const VersionLibrary& lib, bool wide, const void* block, const char* key,
                void** value, UINT* length, std::string* text) {
    if (!wide) {
        if (!lib.query(block, key, value, length) || !*value) return false;
        if (text) text->assign(static_cast<const char*>(*value), strnlen(static_cast<const char*>(*value), *length));
        return true;
    }
    std::wstring wideKey;
    for (const char* c = key; *c; ++c) wideKey += static_cast<wchar_t>(*c);
    if (!lib.queryW(block, wideKey.c_str(), value, length) || !*value) return false;
    if (text) {
        const auto* chars = static_cast<const wchar_t*>(*value);
        *text = ToSystemCodePage({reinterpret_cast<const char16_t*>(chars), wcsnlen(chars, *length)});
    }
    return true;
}

const VersionLibrary& Library() {
    static const VersionLibrary library;
    return library;
}

}  // namespace

FileVersionQuery QueryFileVersion(const std::string& path) {
    FileVersionQuery result;
    const SystemPath p = MakeSystemPath(path);
    if (p.error) {
        result.failedStep = "GetFileVersionInfo";
        result.error = p.error;
        return result;
    }
    const VersionLibrary& lib = Library();
    if (!lib.ok(p.wide)) {
        result.failedStep = "GetFileVersionInfo";
        result.error = lib.loadError ? lib.loadError : ERROR_PROC_NOT_FOUND;
        return result;
    }
    DWORD ignored = 0;
    const DWORD size = p.wide ? lib.getSizeW(p.w.c_str(), &ignored) : lib.getSize(p.a.c_str(), &ignored);
    if (size == 0) {
        result.ok = true;
        return result;
    }
    std::vector<char> block(size + 1, 0);
    if (!(p.wide ? lib.getInfoW(p.w.c_str(), 0, size, block.data()) : lib.getInfo(p.a.c_str(), 0, size, block.data()))) {
        result.failedStep = "GetFileVersionInfo";
        result.error = GetLastError();
        return result;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!QueryValue(lib, p.wide, block.data(), "\\VarFileInfo\\Translation", &value, &length, nullptr)) {
        // The query sets no error of its own: the value is simply not there.
        result.failedStep = "VerQueryValue";
        result.error = ERROR_RESOURCE_NAME_NOT_FOUND;
        return result;
    }
    // Pairs of language and code page; the last one with a FileVersion counts.
    const auto* pairs = static_cast<const WORD*>(value);
    const UINT pairCount = length / (2 * sizeof(WORD));
    for (UINT i = 0; i < pairCount; ++i) {
        char key[64];
        std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\FileVersion", pairs[2 * i],
                      pairs[2 * i + 1]);
        void* text = nullptr;
        UINT chars = 0;
        QueryValue(lib, p.wide, block.data(), key, &text, &chars, &result.fileVersion);
    }
    void* fixedValue = nullptr;
    UINT fixedLength = 0;
    if (QueryValue(lib, p.wide, block.data(), "\\", &fixedValue, &fixedLength, nullptr) &&
        fixedLength >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(fixedValue);
        result.hasFixed = true;
        result.versionMS = fixed->dwFileVersionMS;
        result.versionLS = fixed->dwFileVersionLS;
    }
    result.ok = true;
    result.hasVersion = true;
    return result;
}

}  // namespace dp
