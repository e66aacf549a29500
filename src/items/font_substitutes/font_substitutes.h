#pragma once
// [SetFontSubstitutes] and [DeleteFontSubstitutes].
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/reporting_base.h"
#include "items/work/work_item.h"

namespace dp {

inline constexpr char kSetFontSubstitutesSection[] = "[SetFontSubstitutes]";
inline constexpr char kDeleteFontSubstitutesSection[] = "[DeleteFontSubstitutes]";

class FontSubstituteList : public ReportingBase {
public:
    ~FontSubstituteList() override = default;
    int32_t count() const { return static_cast<int32_t>(names.size()); }
    // The substituted font names (the profile keys) and, for each, its
    // substitute; no value (the deletion list) removes the key.
    std::vector<std::string> names;
    std::vector<std::optional<std::string>> values;
    // Never set: a changed substitute does not ask for a reboot.
    uint8_t rebootRequired = 0;
};

// Reads [SetFontSubstitutes] (deletion 0) or [DeleteFontSubstitutes] (1):
// "name=substitute" lines, trimmed of quotes and blanks, not expanded; the
// deletion list keeps only the names. 1, or 0 for a line without "=" or a
// confirmed Stop.
int ParseFontSubstitutes(FontSubstituteList& list, const std::string& section, int deletion);
// A work item per entry: written to the system's FontSubstitutes profile
// section (a failure is logged). Windows only.
void AddFontSubstitutes(const FontSubstituteList& list, WorkItems& items);

}  // namespace dp
