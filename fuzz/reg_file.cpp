// Fuzzes the registration file and key file parsers and the key path rules
// on what they produce.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "items/registry/protected_keys.h"
#include "items/registry/reg_file_text.h"
#include "script/variable_table.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    dp::VariableTable vars;
    vars.AddEntry("APP", "", "C:\\App %APP2%");
    vars.AddEntry("APP2", "", "x");

    // A zero byte anywhere rejects the whole file, which then adds nothing.
    std::string text = input;
    const bool hasZero = input.find('\0') != std::string::npos;
    Check(dp::PrepareRegFileText(text) != hasZero);
    if (hasZero) text.clear();
    Check(text.find("\r\n\r\n") == std::string::npos);
    dp::RegEntryList entries;
    const int result = dp::ParseRegFile(entries, text, vars);
    Check(result == 0 || result == 1);
    const size_t n = entries.types.size();
    Check(entries.keyPaths.size() == n && entries.names.size() == n && entries.data.size() == n);
    for (size_t i = 0; i < n; ++i) {
        const std::string& key = entries.keyPaths[i];
        Check(key.size() <= dp::kMaxRegKeyPath && key.find('\\') != std::string::npos);
        const uint32_t t = entries.types[i];
        Check(t == dp::kRegSz || t == dp::kRegExpandSz || t == dp::kRegBinary || t == dp::kRegDword ||
              t == dp::kRegMultiSz);
        if (t == dp::kRegSz) Check(entries.data[i].find("\\\"") == std::string::npos);
        if (t != dp::kRegSz && t != dp::kRegDword) Check(entries.data[i].size() <= text.size());
        dp::DwordFromText(entries.data[i]);
        dp::RegistryRoot root;
        const dp::KeyPathParts parts = dp::SplitKeyPath(key);
        Check(parts.hasBackslash && parts.rootName.size() + 1 + parts.subkey.size() == key.size());
        if (dp::RootFromKeyPath(key, root)) dp::IsProtectedRegistryKey(key);
    }

    text = input;
    Check(dp::PrepareKeyFileText(text) != hasZero);
    if (hasZero) text.clear();
    Check(text.find(';') == std::string::npos);
    dp::RegKeyList keys;
    dp::ParseRegKeyFile(keys, text, vars);
    for (const std::string& key : keys.keyPaths) {
        Check(key.size() <= dp::kMaxRegKeyPath && key.find('\n') == std::string::npos);
        // A root alone, or a key with nothing but backslashes below its root, is never deleted.
        if (dp::SplitKeyPath(key).subkey.find_first_not_of('\\') == std::string_view::npos)
            Check(dp::IsProtectedRegistryKey(key));
    }

    std::string path;
    if (dp::RegFilePathFromLine(input, "C:\\prog\\", path)) Check(path.find(":\\") != std::string::npos);
    std::string unescaped = input;
    dp::UnescapeQuotes(unescaped);
    Check(unescaped.find("\\\"") == std::string::npos && unescaped.size() <= input.size());
    return 0;
}
