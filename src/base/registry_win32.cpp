#include "base/registry_win32.h"

#include <shlwapi.h>

#include <vector>

#include "base/program_win32.h"

namespace dp {
namespace {

// RegDeleteKeyExA, the deletion that names a view (not on the systems before
// 64-bit Windows, where there is no other view to name).
LONG DeleteOneKey(HKEY root, const std::string& subkey, REGSAM view) {
    using DeleteEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    static const DeleteEx deleteEx = ProcAddress<DeleteEx>(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA");
    if (!deleteEx) return ERROR_CALL_NOT_IMPLEMENTED;
    return deleteEx(root, subkey.c_str(), view, 0);
}

// The names of the key's subkeys.
LONG SubkeyNames(HKEY key, std::vector<std::string>& names) {
    DWORD count = 0, longest = 0;
    LONG rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<char> name(longest + 2);
    for (DWORD i = 0;; ++i) {
        DWORD size = static_cast<DWORD>(name.size());
        rc = RegEnumKeyExA(key, i, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc == ERROR_MORE_DATA) {
            name.resize(name.size() * 2);
            --i;
            continue;
        }
        if (rc != ERROR_SUCCESS) return rc;
        names.emplace_back(name.data(), size);
    }
}

}  // namespace

Status CreateAndOpenKey(HKEY parent, const std::string& subkey, REGSAM access, UniqueKey& key) {
    const LONG rc = RegCreateKeyExA(parent, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                    key.put(), nullptr);
    return Status(static_cast<uint32_t>(rc));
}

LONG DeleteKeyTree(HKEY root, const std::string& subkey, REGSAM view) {
    if (view == 0) return static_cast<LONG>(SHDeleteKeyA(root, subkey.c_str()));
    // Depth first, each key by its whole path from the root, so that every
    // open names the view.
    std::vector<std::string> names;
    {
        UniqueKey key;
        LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | view, key.put());
        if (rc != ERROR_SUCCESS) return rc;
        rc = SubkeyNames(key.get(), names);
        if (rc != ERROR_SUCCESS) return rc;
    }
    for (const std::string& name : names)
        if (const LONG rc = DeleteKeyTree(root, subkey + "\\" + name, view); rc != ERROR_SUCCESS) return rc;
    return DeleteOneKey(root, subkey, view);
}

LONG DeleteKeyWithoutSubkeys(HKEY root, const std::string& subkey, REGSAM view) {
    if (view == 0) return static_cast<LONG>(SHDeleteEmptyKeyA(root, subkey.c_str()));
    return DeleteOneKey(root, subkey, view);
}

}  // namespace dp
