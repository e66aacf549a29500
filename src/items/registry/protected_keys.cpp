#include "items/registry/protected_keys.h"

#include <string>
#include <vector>

#include "base/text.h"
#include "script/registry_text.h"

namespace dp {
namespace {

// Where a key lies once the aliases are resolved.
enum class Hive { Machine, User, Classes };

using Names = std::vector<std::string_view>;

bool Is(std::string_view name, std::string_view expected) { return EqualNoCase(name, expected); }

template <size_t N>
bool IsOneOf(std::string_view name, const std::string_view (&list)[N]) {
    for (std::string_view each : list)
        if (Is(name, each)) return true;
    return false;
}

bool EndsWithNoCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && Is(text.substr(text.size() - end.size()), end);
}

// The names of a subkey path, without the empty ones that backslashes at the
// ends and doubled ones would give.
Names SplitNames(std::string_view subkey) {
    Names names;
    while (!subkey.empty()) {
        const size_t slash = subkey.find('\\');
        const std::string_view name = subkey.substr(0, slash);
        if (!name.empty()) names.push_back(name);
        if (slash == std::string_view::npos) break;
        subkey.remove_prefix(slash + 1);
    }
    return names;
}

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
bool IsGuid(std::string_view name) {
    if (name.size() != 38 || name.front() != '{' || name.back() != '}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const char c = name[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (dash ? c != '-' : !hex) return false;
    }
    return true;
}

// Vendor keys right under Software that are the system's own.
constexpr std::string_view kSystemVendors[] = {
    "Microsoft", "Classes", "Policies", "Wow6432Node", "Clients", "RegisteredApplications",
    "ODBC", "Description", "DefaultUserEnvironment", "Setup", "Windows", "Wine",
};
// The system's lists under Software\Microsoft\Windows\CurrentVersion whose
// entries are the products' own.
constexpr std::string_view kProductLists[] = {"Uninstall", "App Paths"};
// Class lists whose GUID entries are the products' own.
constexpr std::string_view kGuidLists[] = {"CLSID", "Interface", "TypeLib", "AppID"};
// Families of program identifiers that the system defines.
constexpr std::string_view kSystemProgIdFamilies[] = {
    "Microsoft", "Shell", "Scripting", "WScript", "WbemScripting", "Msxml", "Msxml2", "Msi",
    "WindowsInstaller", "ADODB", "ADOX", "CDO", "VBScript", "JScript", "InternetExplorer",
    "Windows", "SAPI", "WMPlayer", "MSComctlLib",
};

bool IsProductKeyInSoftware(const Names& names) {
    // names[0] is Software.
    if (names.size() < 2) return false;
    const std::string_view vendor = names[1];
    if (Is(vendor, "Microsoft"))
        return names.size() >= 6 && Is(names[2], "Windows") && Is(names[3], "CurrentVersion") &&
               IsOneOf(names[4], kProductLists);
    return !IsOneOf(vendor, kSystemVendors);
}

bool IsProductClass(const Names& names) {
    if (names.empty()) return false;
    const std::string_view top = names[0];
    if (IsOneOf(top, kGuidLists)) return names.size() >= 2 && IsGuid(names[1]);
    // A program identifier: a vendor part, a dot, a name.
    const size_t dot = top.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot + 1 == top.size()) return false;
    return !IsOneOf(top.substr(0, dot), kSystemProgIdFamilies);
}

}  // namespace

bool IsProtectedRegistryKey(std::string_view keyPath) {
    const size_t slash = keyPath.find('\\');
    std::string rootName(TrimView(keyPath.substr(0, slash), " \t"));
    if (!rootName.empty() && rootName.front() == '-') rootName = std::string(TrimView(rootName.substr(1), " \t"));
    for (char& c : rootName)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    RegistryRoot root;
    if (!ParseRegistryRoot(rootName, root)) return true;
    Names names = SplitNames(slash == std::string_view::npos ? std::string_view() : keyPath.substr(slash + 1));

    Hive hive;
    switch (root) {
        case RegistryRoot::LocalMachine: hive = Hive::Machine; break;
        case RegistryRoot::CurrentUser: hive = Hive::User; break;
        case RegistryRoot::ClassesRoot: hive = Hive::Classes; break;
        case RegistryRoot::Users:
            // Every key right under HKEY_USERS is a user's hive.
            if (names.size() < 2) return true;
            hive = EndsWithNoCase(names[0], "_Classes") ? Hive::Classes : Hive::User;
            names.erase(names.begin());
            break;
        default: return true;  // the current configuration, performance data, dynamic data
    }
    if (hive != Hive::Classes) {
        if (names.empty() || !Is(names[0], "Software")) return true;
        while (names.size() >= 2 && Is(names[1], "Wow6432Node")) names.erase(names.begin() + 1);
        if (names.size() >= 2 && Is(names[1], "Classes")) {
            hive = Hive::Classes;
            names.erase(names.begin(), names.begin() + 2);
        }
    }
    if (hive == Hive::Classes) {
        while (!names.empty() && Is(names[0], "Wow6432Node")) names.erase(names.begin());
        return !IsProductClass(names);
    }
    return !IsProductKeyInSoftware(names);
}

}  // namespace dp
