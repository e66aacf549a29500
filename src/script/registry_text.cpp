#include "script/registry_text.h"

#include "base/seam.h"

namespace dp {
namespace {
Seam<bool(RegistryRoot, const std::string&, const std::string&, std::string&)> g_reader(
    &PlatformReadRegistryText);
}  // namespace

bool ParseRegistryRoot(const std::string& name, RegistryRoot& root) {
    static const struct {
        const char* shortName;
        const char* longName;
        RegistryRoot root;
    } kRoots[] = {
        {"HKCR", "HKEY_CLASSES_ROOT", RegistryRoot::ClassesRoot},
        {"HKCC", "HKEY_CURRENT_CONFIG", RegistryRoot::CurrentConfig},
        {"HKCU", "HKEY_CURRENT_USER", RegistryRoot::CurrentUser},
        {"HKLM", "HKEY_LOCAL_MACHINE", RegistryRoot::LocalMachine},
        {"HKU", "HKEY_USERS", RegistryRoot::Users},
        {"HKPD", "HKEY_PERFORMANCE_DATA", RegistryRoot::PerformanceData},
        {"HKDD", "HKEY_DYN_DATA", RegistryRoot::DynData},
    };
    for (const auto& r : kRoots) {
        if (name == r.shortName || name == r.longName) {
            root = r.root;
            return true;
        }
    }
    return false;
}

bool ReadRegistryText(RegistryRoot root, const std::string& subkey, const std::string& valueName,
                      std::string& out) {
    return g_reader(root, subkey, valueName, out);
}

RegistryTextReader SetRegistryTextReader(RegistryTextReader reader) {
    return g_reader.Replace(std::move(reader));
}

}  // namespace dp
