#pragma once
// Named text values a script can refer to as %NAME%: fifteen predefined folder
// variables and the entries of [Strings].
#include <cstdint>
#include <string>
#include <vector>

#include "script/reporting_base.h"

namespace dp {

constexpr int kPredefinedCount = 15;

class VariableTable : public ReportingBase {
public:
    // An empty table (no entries). InitPredefined fills the fifteen folders.
    VariableTable() = default;
    ~VariableTable() override = default;

    // Computes programDirectory and the fifteen predefined entries from the
    // running system (Windows only).
    void InitPredefined();

    int32_t count() const { return static_cast<int32_t>(names.size()); }

    // Reads [Strings]: one entry per line "name = default[, registry reference]".
    int ParseStringsSection(const std::string& section);
    // Computes the value of entry index from its definition.
    int ResolveDefinition(int index);
    // The value of the first entry whose name matches without regard to case.
    const std::string* FindValue(const std::string& name) const;
    // Replaces every %NAME% reference. Strict (tolerant false): an undefined
    // name is reported and the result is 0. The text keeps what was replaced.
    int ExpandVariables(std::string& text, bool tolerant);
    // 1 when the path equals one of the predefined values (case-insensitive).
    int IsPredefinedFolder(const std::string& path) const;
    // First two numbers of the shell library's file version; untouched when
    // it cannot be read.
    static void GetShellVersion(int& minor, int& major);

    std::vector<std::string> names;
    std::vector<std::string> definitions;
    std::vector<std::string> values;
    std::string programDirectory;
};

}  // namespace dp
