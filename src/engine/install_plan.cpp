#include "engine/install_plan.h"


namespace dp {
namespace {

std::string Field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return text;
}

}  // namespace

std::string FormatPlan(const std::vector<PlanRow>& rows) {
    std::string text =
        "step\taction\ttarget\tsource\ttarget version\ttarget size\ttarget date\t"
        "source version\tsource size\tsource date\treason\n";
    for (const PlanRow& r : rows) {
        for (const std::string* f : {&r.step, &r.action, &r.target, &r.source, &r.targetVersion, &r.targetSize,
                                     &r.targetDate, &r.sourceVersion, &r.sourceSize, &r.sourceDate})
            text += Field(*f) + "\t";
        text += Field(r.reason) + "\n";
    }
    return text;
}

}  // namespace dp
