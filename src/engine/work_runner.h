#pragma once
// The install and end phases as lists of work items, and the one runner that
// carries them out: the headings and section texts, Cancel between items,
// the tally of every outcome, the report of every failure, the end of a phase.
#include <functional>
#include <vector>

#include "items/work/work_item.h"

namespace dp {

// One step of the install sequence: what the progress display shows (none:
// the text of the step before stays), the log heading (none: no heading), and
// its items in order.
struct WorkStep {
    const char* sectionText = nullptr;
    const char* logHeading = nullptr;
    WorkItems items;
};
using WorkPhase = std::vector<WorkStep>;

// Carries the steps out in order. The Cancel request is seen before each
// step and each item. False when the phase ended early: cancelled, or an
// item ended the phase (step.endPhase is then set, and so is `cancel`).
bool RunWorkPhase(WorkPhase& phase, StepContext& step, std::atomic<uint8_t>& cancel);

// The plan rows of the counted items, in order; each row's step is the
// section text of its step, or of the last step before it that has one.
std::vector<PlanRow> DescribeWorkPhase(const WorkPhase& phase);
// The same rows handed to `visit` one at a time, none of them kept.
void DescribeWorkPhase(const WorkPhase& phase, const std::function<void(PlanRow&&)>& visit);

// One row of a verification: an item that is not as the script leaves it,
// or that cannot be checked.
struct VerifyRow {
    std::string step;
    std::string item;  // "write value HKEY_...\Name": the plan's action and target
    std::string expected;
    std::string found;
    bool differs = false;  // false: not checked
};
// The rows of the counted items that do not match, in order, changing nothing.
std::vector<VerifyRow> VerifyWorkPhase(const WorkPhase& phase);

// Adds one outcome to the tally (refused counts as failed).
void CountOutcome(RunTally& tally, Outcome outcome);

// "Done: install C:\App\a.dll" — the outcome line of an item (a quiet run's
// full log), with the reason of a refusal or the system's code of a failure.
std::string OutcomeLine(const PlanRow& row, const ItemResult& result);

}  // namespace dp
