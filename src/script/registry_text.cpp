#include "script/registry_text.h"

#include <mutex>

namespace dp {
namespace {
std::mutex& ReaderMutex() {
    static std::mutex m;
    return m;
}
RegistryTextReader& Reader() {
    static RegistryTextReader r;
    return r;
}
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
    RegistryTextReader reader;
    {
        std::lock_guard<std::mutex> lock(ReaderMutex());
        reader = Reader();
    }
    if (reader) return reader(root, subkey, valueName, out);
    return PlatformReadRegistryText(root, subkey, valueName, out);
}

RegistryTextReader SetRegistryTextReader(RegistryTextReader reader) {
    std::lock_guard<std::mutex> lock(ReaderMutex());
    RegistryTextReader old = std::move(Reader());
    Reader() = std::move(reader);
    return old;
}

}  // namespace dp
