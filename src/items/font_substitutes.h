#pragma once
// [SetFontSubstitutes] and [DeleteFontSubstitutes].
#include <string>
#include <vector>

#include "base/reporting_base.h"
#include "items/step_context.h"

namespace dp {

class FontSubstituteList : public ReportingBase {
public:
    ~FontSubstituteList() override = default;
    std::vector<std::string> lines;  // placeholder until the substitutes are read
    int rebootRequired = 0;
};

// Reads [SetFontSubstitutes] (deletion 0) or [DeleteFontSubstitutes] (1).
int ParseFontSubstitutes(FontSubstituteList& list, const std::string& section, int deletion);
// Writes every entry of the list, logging failures. Always 1.
int ApplyFontSubstitutes(FontSubstituteList& list, StepContext& step);

}  // namespace dp
