#pragma once
// The plan of a run: what the install and end phases would do to each item,
// in their order, as tab-separated text, without doing any of it.
#include <string>
#include <vector>

namespace dp {

class InstallScript;

struct PlanRow {
    std::string step;    // the section text of the step: "[InstallFiles]"
    std::string action;  // "install", "replace", "keep", "delete", "write value", ...
    std::string target;
    std::string source;
    std::string targetVersion, targetSize, targetDate;  // files: version (or date), size, date
    std::string sourceVersion, sourceSize, sourceDate;
    std::string reason;  // files: the rule that decided; other items: what qualifies them
};

// Every item of every family, in the order the phases would handle them.
std::vector<PlanRow> BuildInstallPlan(const InstallScript& script);

// A header line and one line per row, fields separated by tabs; tabs and
// line ends inside a field become blanks.
std::string FormatPlan(const std::vector<PlanRow>& rows);

}  // namespace dp
