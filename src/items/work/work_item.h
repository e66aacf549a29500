#pragma once
// One unit of the work a run does: a file to copy, a key to delete, a program
// to run. Every family turns its list into work items; the install and end
// phases are lists of them, carried out by one runner and described by the
// same items as the plan, so that plan, run and tally cannot disagree.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "items/work/step_context.h"

namespace dp {

// What became of an item.
enum class Outcome : uint8_t {
    kDone,       // carried out
    kUpToDate,   // nothing to do: current, already there, already gone
    kFailed,     // could not be carried out
    kScheduled,  // left for the next reboot
    kRefused,    // not attempted: a rule forbids it (counted as failed)
};
// "done", "up to date", "failed", "scheduled for the reboot", "refused".
const char* OutcomeName(Outcome outcome);

// How the failure of an item is told, as its family has always told it.
enum class Report : uint8_t {
    kNone,       // nothing (or the item wrote its own lines)
    kLog,        // a log line, when there is a log
    kLogOrBox,   // a log line, or a box "Error" when there is no log
    kLogAndBox,  // a log line and a box with the same text
    kBox,        // a box only
};

struct ItemResult {
    Outcome outcome = Outcome::kDone;
    uint32_t code = 0;   // the system's code, where there is one
    std::string text;    // what to tell in the log, as written (its line feed included)
    Report report = Report::kNone;
    std::string boxText;     // for a box: its text when it differs from the line
    std::string caption;     // for a box: its caption
    unsigned boxStyle = 0;   // for a box: its style (kBoxOk, ...)
    bool endsStep = false;   // the rest of the step is not carried out (counted failed)
    bool endsPhase = false;  // the phase ends here (a full disk): the run is cancelled

    static ItemResult Done() { return {}; }
    static ItemResult UpToDate() { return ItemResult{Outcome::kUpToDate}; }
    static ItemResult Scheduled() { return ItemResult{Outcome::kScheduled}; }
    static ItemResult Failed(uint32_t code, std::string text, Report report) {
        return ItemResult{Outcome::kFailed, code, std::move(text), report};
    }
    static ItemResult Refused(std::string text, Report report = Report::kLog) {
        return ItemResult{Outcome::kRefused, 0, std::move(text), report};
    }
};

// One row of a plan: what the run would do to one item.
struct PlanRow {
    std::string step;    // the section text of the step: "[InstallFiles]"
    std::string action;  // "install", "replace", "keep", "delete", "write value", ...
    std::string target;
    std::string source;
    // Files: the version (or, without a version resource, the last-write
    // time), the size in bytes and the last-write time, times in ISO 8601.
    std::string targetVersion, targetSize, targetDate;
    std::string sourceVersion, sourceSize, sourceDate;
    std::string reason;  // files: the rule that decided; refused items: why; others: what qualifies them
};

// What a verification of the machine found for one item.
struct Check {
    enum class State : uint8_t { kMatches, kDiffers, kNotChecked };
    State state = State::kNotChecked;
    std::string expected;  // what the script asks for
    std::string found;     // what the machine has (for an item not checked: why)
    std::string item;      // what the report calls the item, when not its plan's action and target

    static Check Matches() { return Check{State::kMatches}; }
    static Check Differs(std::string expected, std::string found) {
        return Check{State::kDiffers, std::move(expected), std::move(found)};
    }
    static Check NotChecked(std::string why) { return Check{State::kNotChecked, "", std::move(why)}; }
    // Matches when the thing is not there; else what is there.
    static Check Absent(bool present, std::string what = "present") {
        return present ? Differs("absent", std::move(what)) : Matches();
    }
};

class WorkItem {
public:
    virtual ~WorkItem() = default;
    // The plan row of the item (its step is filled in by the list).
    virtual PlanRow Describe() const = 0;
    // Carries the item out. Lines of success are the item's own; a failure
    // is told by the runner from the result.
    virtual ItemResult Do(StepContext& step) = 0;
    // Whether the machine is as the item leaves it, changing nothing. Items
    // whose effect cannot be seen afterwards (a program that ran) are not
    // checked.
    virtual Check Verify() const { return Check::NotChecked("cannot be checked"); }
    // Bookkeeping that is not an item of the script (the lists kept for the
    // end phase): no plan row, not counted.
    virtual bool counted() const { return true; }
};

using WorkItems = std::vector<std::unique_ptr<WorkItem>>;

}  // namespace dp
