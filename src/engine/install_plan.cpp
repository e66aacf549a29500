#include "engine/install_plan.h"

namespace dp {

const std::vector<std::string> kPlanColumns = {
    "step", "action", "target", "source", "target version", "target size", "target date",
    "source version", "source size", "source date", "reason"};

std::vector<std::string> PlanFields(const PlanRow& r) {
    return {r.step, r.action, r.target, r.source, r.targetVersion, r.targetSize, r.targetDate,
            r.sourceVersion, r.sourceSize, r.sourceDate, r.reason};
}

void WritePlanRow(ReportWriter& writer, const PlanRow& row) { writer.Row(PlanFields(row)); }

std::string FormatPlan(const std::vector<PlanRow>& rows, ReportForm form) {
    ReportRows fields;
    fields.reserve(rows.size());
    for (const PlanRow& row : rows) fields.push_back(PlanFields(row));
    return FormatReport(form, kPlanColumns, fields);
}

}  // namespace dp
