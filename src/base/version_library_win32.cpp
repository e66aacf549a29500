#include "base/version_library_win32.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/program_win32.h"

namespace dp {
namespace {

struct VersionLibrary {
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

    VersionLibrary() {
        module = LoadSystemLibrary("version.dll");
        if (!module) {
            loadError = GetLastError();
            return;
        }
        getSize = ProcAddress<SizeFn>(module, "GetFileVersionInfoSizeA");
        getInfo = ProcAddress<InfoFn>(module, "GetFileVersionInfoA");
        query = ProcAddress<QueryFn>(module, "VerQueryValueA");
        if (!getSize || !getInfo || !query) loadError = ERROR_PROC_NOT_FOUND;
    }
    bool ok() const { return module && getSize && getInfo && query; }

    HMODULE module = nullptr;
    DWORD loadError = 0;
    SizeFn getSize = nullptr;
    InfoFn getInfo = nullptr;
    QueryFn query = nullptr;
};

const VersionLibrary& Library() {
    static const VersionLibrary library;
    return library;
}

}  // namespace

FileVersionQuery QueryFileVersion(const std::string& path) {
    FileVersionQuery result;
    const VersionLibrary& lib = Library();
    if (!lib.ok()) {
        result.failedStep = "GetFileVersionInfo";
        result.error = lib.loadError;
        return result;
    }
    DWORD ignored = 0;
    const DWORD size = lib.getSize(path.c_str(), &ignored);
    if (size == 0) {
        result.ok = true;
        return result;
    }
    std::vector<char> block(size + 1, 0);
    if (!lib.getInfo(path.c_str(), 0, size, block.data())) {
        result.failedStep = "GetFileVersionInfo";
        result.error = GetLastError();
        return result;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!lib.query(block.data(), "\\VarFileInfo\\Translation", &value, &length) || !value) {
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
        if (lib.query(block.data(), key, &text, &chars) && text) {
            const char* s = static_cast<const char*>(text);
            result.fileVersion.assign(s, strnlen(s, chars));
        }
    }
    void* fixedValue = nullptr;
    UINT fixedLength = 0;
    if (lib.query(block.data(), "\\", &fixedValue, &fixedLength) && fixedValue &&
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
