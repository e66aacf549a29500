#include "engine/work_runner.h"

#include "base/install_progress.h"
#include "base/system_text.h"
#include "log/message_box.h"
#include "resources/message_ids.h"

namespace dp {
namespace {

void ShowBox(const ItemResult& r) {
    ShowMessageBox(r.boxText.empty() ? r.text : r.boxText, r.caption, r.boxStyle);
}

// The one rule for telling a failure, as its family tells it.
void Tell(const ItemResult& r, StepContext& step) {
    if (r.text.empty() && r.boxText.empty()) return;
    switch (r.report) {
    case Report::kNone: return;
    case Report::kLog:
        if (step.logging()) WriteLogText(step.log, r.text);
        return;
    case Report::kLogOrBox:
        if (step.logging())
            WriteLogText(step.log, r.text);
        else
            ShowBox(r);
        return;
    case Report::kLogAndBox:
        ShowBox(r);
        if (step.logging()) WriteLogText(step.log, r.text);
        return;
    case Report::kBox: ShowBox(r); return;
    }
}

void Record(WorkItem& item, const ItemResult& result, StepContext& step) {
    if (!item.counted()) return;
    if (step.tally) CountOutcome(*step.tally, result.outcome);
    if (step.outcomeLines && step.fullLog()) WriteLogText(step.log, OutcomeLine(item.Describe(), result));
}

}  // namespace

void CountOutcome(RunTally& tally, Outcome outcome) {
    switch (outcome) {
    case Outcome::kDone: ++tally.done; break;
    case Outcome::kUpToDate: ++tally.upToDate; break;
    case Outcome::kScheduled: ++tally.scheduled; break;
    case Outcome::kFailed:
    case Outcome::kRefused: ++tally.failed; break;
    }
}

std::string OutcomeLine(const PlanRow& row, const ItemResult& result) {
    std::string name = OutcomeName(result.outcome);
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    std::string line = name + ": " + row.action + " " + row.target;
    if (result.outcome == Outcome::kRefused && !row.reason.empty()) line += " (" + row.reason + ")";
    if (result.outcome == Outcome::kFailed && result.code != 0) line += " (code " + std::to_string(result.code) + ")";
    return line + "\n";
}

bool RunWorkPhase(WorkPhase& phase, StepContext& step, std::atomic<uint8_t>& cancel) {
    for (WorkStep& row : phase) {
        if (step.isCancelled()) return false;
        if (row.logHeading) WriteLogText(step.log, row.logHeading);
        if (row.sectionText && step.progress) step.progress->ShowSection(row.sectionText);
        bool stepEnded = false;
        for (std::unique_ptr<WorkItem>& item : row.items) {
            if (step.isCancelled()) return false;
            if (stepEnded) {
                // Not carried out: an item before it ended the step.
                Record(*item, ItemResult{Outcome::kFailed}, step);
                continue;
            }
            const ItemResult result = item->Do(step);
            Tell(result, step);
            Record(*item, result, step);
            if (result.endsPhase) {
                cancel = 1;
                step.endPhase = true;
                return false;
            }
            if (step.stopOnFailure && item->counted() &&
                (result.outcome == Outcome::kFailed || result.outcome == Outcome::kRefused)) {
                step.failedAndStopped = true;
                return false;
            }
            stepEnded = result.endsStep;
        }
    }
    return !step.isCancelled();
}

void DescribeWorkPhase(const WorkPhase& phase, const std::function<void(PlanRow&&)>& visit) {
    const char* text = "";
    for (const WorkStep& row : phase) {
        if (row.sectionText) text = row.sectionText;
        for (const std::unique_ptr<WorkItem>& item : row.items) {
            if (!item->counted()) continue;
            PlanRow described = item->Describe();
            described.step = text;
            visit(std::move(described));
        }
    }
}

std::vector<PlanRow> DescribeWorkPhase(const WorkPhase& phase) {
    std::vector<PlanRow> rows;
    DescribeWorkPhase(phase, [&rows](PlanRow&& row) { rows.push_back(std::move(row)); });
    return rows;
}

std::vector<VerifyRow> VerifyWorkPhase(const WorkPhase& phase) {
    std::vector<VerifyRow> rows;
    const char* text = "";
    for (const WorkStep& row : phase) {
        if (row.sectionText) text = row.sectionText;
        for (const std::unique_ptr<WorkItem>& item : row.items) {
            if (!item->counted()) continue;
            const Check check = item->Verify();
            if (check.state == Check::State::kMatches) continue;
            const PlanRow described = item->Describe();
            const bool differs = check.state == Check::State::kDiffers;
            rows.push_back({text, check.item.empty() ? described.action + " " + described.target : check.item,
                            differs ? check.expected : "not checked", check.found, differs});
        }
    }
    return rows;
}

}  // namespace dp
