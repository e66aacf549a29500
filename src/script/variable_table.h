#pragma once
// Named text values a script can refer to as %NAME%: nineteen predefined
// folder variables and the entries of [Strings].
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "resources/message_ids.h"
#include "base/reporting_base.h"

namespace dp {

constexpr int kPredefinedCount = 19;

// The memory of the reading is bounded: a text after its variables are
// expanded (an item's line, a [Strings] value) holds at most
// kMaxExpandedText characters, and all expansions of one table together add
// at most kMaxExpansionGrowth characters to the texts they were given. An
// expansion beyond either is reported as a value that is too long.
constexpr size_t kMaxExpandedText = size_t{4} << 20;
constexpr size_t kMaxExpansionGrowth = size_t{64} << 20;

// Names of the predefined variables, entries 0 to 18 in this order: the
// fifteen folders of every run, then the 32-bit and the 64-bit Program Files
// and system folders, which a script can name whichever architecture it
// installs for (on a 32-bit system each 64-bit one is the 32-bit one).
extern const char* const kPredefinedNames[kPredefinedCount];
constexpr int kWindowsSystemEntry = 1;        // WINDOWS_SYSTEM_PATH
constexpr int kProgramFilesEntry = 2;         // PROGRAM_FILES_PATH
constexpr int kProgramFilesX86Entry = 15;     // PROGRAM_FILES_X86_PATH
constexpr int kProgramFilesX64Entry = 16;     // PROGRAM_FILES_X64_PATH
constexpr int kWindowsSystemX86Entry = 17;    // WINDOWS_SYSTEM_X86_PATH
constexpr int kWindowsSystemX64Entry = 18;    // WINDOWS_SYSTEM_X64_PATH

class VariableTable : public ReportingBase {
public:
    // An empty table (no entries). InitPredefined fills the predefined folders.
    VariableTable() = default;
    ~VariableTable() override = default;

    // Computes programDirectory and the predefined entries from the running
    // system (Windows only).
    void InitPredefined();
    // A 64-bit run on a 64-bit system: PROGRAM_FILES_PATH becomes the 64-bit
    // Program Files, and WINDOWS_SYSTEM_X64_PATH the system folder by its
    // real name (WINDOWS_SYSTEM_PATH's; the run's file calls reach the 64-bit
    // folder by it). Before, a 32-bit run reaches that folder through its
    // alias only. Nothing happens to a table without the predefined entries.
    void UseSixtyFourBitFolders();

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
