#pragma once
// The plan of a run: what the install and end phases would do to each item,
// in their order, as tab-separated text or JSON, without doing any of it.
#include <string>
#include <vector>

#include "base/report_format.h"
#include "items/work/work_item.h"

namespace dp {

// The column names, in the order of PlanFields.
extern const std::vector<std::string> kPlanColumns;
// The fields of a row in the order of the columns.
std::vector<std::string> PlanFields(const PlanRow& row);

// The plan as tab-separated lines (a header line and one line per row; tabs
// and line ends inside a field become blanks) or as JSON (report_format.h).
std::string FormatPlan(const std::vector<PlanRow>& rows, ReportForm form = ReportForm::kTabs);
// The same, row by row (a writer made with kPlanColumns).
void WritePlanRow(ReportWriter& writer, const PlanRow& row);

}  // namespace dp
