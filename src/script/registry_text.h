#pragma once
// Reading one text value from the registry, for the registry references of
// [Strings]. The platform reader is RegOpenKeyExA (query access only) and
// RegQueryValueExA into a 261-byte buffer; tests replace it with a fake.
#include <functional>
#include <string>

namespace dp {

enum class RegistryRoot {
    ClassesRoot,
    CurrentConfig,
    CurrentUser,
    LocalMachine,
    Users,
    PerformanceData,
    DynData,
};

// Largest registry text a reference can read, terminator included.
constexpr size_t kRegistryTextBuffer = 261;

// "HKCR" / "HKEY_CLASSES_ROOT" and the other six pairs, spelled exactly.
bool ParseRegistryRoot(const std::string& name, RegistryRoot& root);

using RegistryTextReader = std::function<bool(RegistryRoot root, const std::string& subkey,
                                              const std::string& valueName, std::string& out)>;

// Reads the value as text (up to its first zero byte). False when the key or
// value is missing or the data does not fit the buffer.
bool ReadRegistryText(RegistryRoot root, const std::string& subkey, const std::string& valueName,
                      std::string& out);

// Replaces the reader (an empty one restores the platform's). Returns the previous.
RegistryTextReader SetRegistryTextReader(RegistryTextReader reader);

// The platform's reader: the registry on Windows; elsewhere always false.
bool PlatformReadRegistryText(RegistryRoot root, const std::string& subkey,
                              const std::string& valueName, std::string& out);

}  // namespace dp
