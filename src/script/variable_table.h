#pragma once
// Named text values a script can refer to as %NAME%: fifteen predefined folder
// variables and the entries of [Strings].
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "resources/message_ids.h"
#include "base/reporting_base.h"

namespace dp {

constexpr int kPredefinedCount = 15;

// The memory of the reading is bounded: a text after its variables are
// expanded (an item's line, a [Strings] value) holds at most
// kMaxExpandedText characters, and all expansions of one table together add
// at most kMaxExpansionGrowth characters to the texts they were given. An
// expansion beyond either is reported as a value that is too long.
constexpr size_t kMaxExpandedText = size_t{4} << 20;
constexpr size_t kMaxExpansionGrowth = size_t{64} << 20;

// Names of the predefined variables, entries 0 to 14 in this order.
extern const char* const kPredefinedNames[kPredefinedCount];

class VariableTable : public ReportingBase {
public:
    // An empty table (no entries). InitPredefined fills the fifteen folders.
    VariableTable() = default;
    ~VariableTable() override = default;

    // Computes programDirectory and the fifteen predefined entries from the
    // running system (Windows only).
    void InitPredefined();

    int32_t count() const { return static_cast<int32_t>(names.size()); }

    // Removes every entry.
    void Clear();
    // Appends an entry with the given name, definition and value; returns its index.
    int AddEntry(const std::string& name, const std::string& definition, const std::string& value);

    // Reads [Strings]: one entry per line "name = default[, registry reference]".
    int ParseStringsSection(const std::string& section);
    // Computes the value of entry index from its definition.
    int ResolveDefinition(int index);
    // The value of the first entry whose name matches without regard to case.
    const std::string* FindValue(const std::string& name) const;
    // Index of that entry, or -1.
    int FindIndex(const std::string& name) const;
    // Replaces every %NAME% reference. Strict (tolerant false): an undefined
    // name is reported and the result is 0. The text keeps what was replaced.
    // A reference that comes back to a variable being expanded (directly or
    // through others) is reported as a self-reference and fails the same way;
    // so does an expansion that grows past its bounds, reported as a value
    // that is too long.
    int ExpandVariables(std::string& text, bool tolerant);
    // The same expansion, strict, but silent: a failure is only the result 0.
    // For looking ahead at what a line will name once it is read.
    int ExpandWithoutReport(std::string& text);
    // 1 when the path equals one of the predefined values (case-insensitive).
    int IsPredefinedFolder(const std::string& path) const;
    // First two numbers of the shell library's file version; untouched when
    // it cannot be read.
    static void GetShellVersion(int& minor, int& major);

    std::vector<std::string> names;
    std::vector<std::string> definitions;
    std::vector<std::string> values;
    std::string programDirectory;

private:
    // Expansion of a text that belongs to entry `owner` (-1: to no entry).
    int Expand(std::string& text, bool tolerant, int owner, bool report = true);

    // Names compared as the C library's case-insensitive comparison does
    // (ASCII letters folded), usable with a std::string_view for lookups.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const;
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    // Name -> first entry with that name; covers names[0, indexed_).
    mutable std::unordered_map<std::string, int, NameHash, NameEqual> index_;
    mutable size_t indexed_ = 0;
    // What the reported expansions have added so far (kMaxExpansionGrowth).
    size_t growth_ = 0;
};

// "6.0.2900.2180" -> major 6, minor 0. Leaves both untouched when the text
// holds no ".". Each number is read as a decimal integer (atoi).
void ParseMajorMinor(const std::string& versionText, int& minor, int& major);

}  // namespace dp
