// Fuzzes the parsers of the shortcut and font substitute sections: the first
// byte chooses the parser, the rest is the section text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "items/font_substitutes/font_substitutes.h"
#include "items/shortcuts/shortcuts.h"
#include "script/variable_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string section(reinterpret_cast<const char*>(data) + 1, size - 1);
    dp::VariableTable variables;
    variables.AddEntry("APP", "", "C:\\App");
    switch (data[0] % 4) {
        case 0: {
            dp::ShortcutList list;
            const int result = dp::ParseInstallShortcuts(list, section, variables);
            if (list.linkPaths.size() != list.targetPaths.size()) std::abort();
            // Only a line without "=" fails (no Stop here).
            const bool allSplit = list.linkPaths.size() == static_cast<size_t>(std::count(section.begin(), section.end(), '\n')) + 1;
            if (result == 1 && !section.empty() && !allSplit) std::abort();
            break;
        }
        case 1: {
            dp::DeleteShortcutList list;
            if (dp::ParseDeleteShortcuts(list, section, variables) != 1) std::abort();
            break;
        }
        default: {
            dp::FontSubstituteList list;
            const int deletion = data[0] % 4 == 3;
            dp::ParseFontSubstitutes(list, section, deletion);
            if (list.names.size() != list.values.size()) std::abort();
            for (const auto& value : list.values)
                if (value.has_value() == (deletion != 0)) std::abort();
            for (const std::string& name : list.names)
                if (!name.empty() && (name.front() == '"' || name.back() == '\t')) std::abort();
            break;
        }
    }
    return 0;
}
