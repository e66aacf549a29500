#pragma once
// The plan of a run: what the install and end phases would do to each item,
// in their order, as tab-separated text or JSON, without doing any of it.
#include <string>
#include <vector>

#include "base/report_format.h"

namespace dp {

class InstallScript;

struct PlanRow {
    std::string step;    // the section text of the step: "[InstallFiles]"
    std::string action;  // "install", "replace", "keep", "delete", "write value", ...
    std::string target;
    std::string source;
    // Files: the version (or, without a version resource, the last-write
    // time), the size in bytes and the last-write time, times in ISO 8601.
    std::string targetVersion, targetSize, targetDate;
    std::string sourceVersion, sourceSize, sourceDate;
    std::string reason;  // files: the rule that decided; other items: what qualifies them
};

// Every item of every family, in the order the phases would handle them.
std::vector<PlanRow> BuildInstallPlan(const InstallScript& script);

// The column names, in the order of PlanFields.
extern const std::vector<std::string> kPlanColumns;
// The fields of a row in the order of the columns.
std::vector<std::string> PlanFields(const PlanRow& row);

// The plan as tab-separated lines (a header line and one line per row; tabs
// and line ends inside a field become blanks) or as JSON (report_format.h).
std::string FormatPlan(const std::vector<PlanRow>& rows, ReportForm form = ReportForm::kTabs);

}  // namespace dp
