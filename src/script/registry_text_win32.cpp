#include <windows.h>

#include "base/handles_win32.h"
#include "base/target_architecture_win32.h"
#include "script/registry_text_win32.h"

namespace dp {

HKEY PredefinedKey(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case RegistryRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
        case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
        case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
        case RegistryRoot::Users: return HKEY_USERS;
        case RegistryRoot::PerformanceData: return HKEY_PERFORMANCE_DATA;
        case RegistryRoot::DynData: return HKEY_DYN_DATA;
    }
    return nullptr;
}

bool PlatformReadRegistryText(RegistryRoot root, const std::string& subkey,
                              const std::string& valueName, std::string& out) {
    UniqueKey key;
    const HKEY predefined = PredefinedKey(root);
    if (RegOpenKeyExA(predefined, subkey.c_str(), 0, KEY_QUERY_VALUE | TargetView(predefined, subkey), key.put()) !=
        ERROR_SUCCESS)
        return false;
    char buf[kRegistryTextBuffer] = {};
    DWORD size = sizeof buf;
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
        return false;
    size_t n = 0;
    while (n < size && n < sizeof buf && buf[n] != '\0') ++n;
    out.assign(buf, n);
    return true;
}

}  // namespace dp
