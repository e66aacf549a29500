// The runner that carries out every phase: headings and section texts, the
// tally of every outcome, the report of every failure as its family tells it,
// the ends of a step and of a phase, Cancel between items, and the plan rows
// of the same items.
#include "engine/work_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "base/install_progress.h"
#include "items/files/file_list.h"
#include "script/variable_table.h"
#include "support/recorders.h"

namespace dp {
namespace {

using Texts = std::vector<std::string>;

// An item with a scripted result; it records that it ran.
class Scripted : public WorkItem {
public:
    Scripted(std::string name, ItemResult result, Texts& ran, bool counted = true)
        : name_(std::move(name)), result_(std::move(result)), ran_(ran), counted_(counted) {}
    PlanRow Describe() const override { return PlanRow{"", "act", name_, "", "", "", "", "", "", "", "why " + name_}; }
    ItemResult Do(StepContext&) override {
        ran_.push_back(name_);
        if (onDo) onDo();
        return result_;
    }
    bool counted() const override { return counted_; }
    std::function<void()> onDo;

private:
    std::string name_;
    ItemResult result_;
    Texts& ran_;
    bool counted_;
};

class SectionRecorder : public InstallProgress {
public:
    void ShowSection(const std::string& text) override { sections.push_back(text); }
    void ShowPaths(const std::string&, const std::string&) override {}
    void SetPosition(int) override {}
    void Close() override {}
    Texts sections;
};

struct Harness {
    explicit Harness(LogLevel level = LogLevel::Full)
        : context{level == LogLevel::None ? nullptr : log, level, variables, files, reboot, cancel} {
        context.tally = &tally;
        context.progress = &progress;
    }
    ~Harness() { std::fclose(log); }
    std::string Log() {
        std::fflush(log);
        std::rewind(log);
        std::string text;
        for (int c; (c = std::fgetc(log)) != EOF;) text += static_cast<char>(c);
        return text;
    }
    void Add(size_t step, std::string name, ItemResult result, bool counted = true) {
        while (phase.size() <= step) phase.emplace_back();
        phase[step].items.push_back(std::make_unique<Scripted>(std::move(name), std::move(result), ran, counted));
    }
    bool Run() { return RunWorkPhase(phase, context, cancel); }

    std::FILE* log = std::tmpfile();
    VariableTable variables;
    FileList files;
    int32_t reboot = 0;
    std::atomic<uint8_t> cancel{0};
    RunTally tally;
    SectionRecorder progress;
    StepContext context;
    WorkPhase phase;
    Texts ran;
};

ItemResult Failure(std::string text, Report report, bool endsStep = false) {
    ItemResult r = ItemResult::Failed(5, std::move(text), report);
    r.boxText = "box";
    r.caption = "Cap";
    r.endsStep = endsStep;
    return r;
}

TEST(WorkRunner, CountsEveryOutcomeAndTellsFailuresAsTheirFamiliesDo) {
    test::BoxRecorder boxes;
    Harness h;
    h.Add(0, "done", ItemResult::Done());
    h.Add(0, "current", ItemResult::UpToDate());
    h.Add(0, "later", ItemResult::Scheduled());
    h.Add(0, "refused", ItemResult::Refused("refused line\n"));
    h.Add(0, "log", Failure("log line\n", Report::kLog));
    h.Add(0, "either", Failure("either line\n", Report::kLogOrBox));
    h.Add(0, "both", Failure("both line\n", Report::kLogAndBox));
    h.Add(0, "box", Failure("", Report::kBox));
    h.Add(0, "silent", Failure("never told\n", Report::kNone));
    h.Add(0, "bookkeeping", Failure("", Report::kNone), false);
    h.phase[0].logHeading = "\n[Step]\n";
    h.phase[0].sectionText = "[Step]";
    EXPECT_TRUE(h.Run());
    EXPECT_EQ(h.tally.done, 1);
    EXPECT_EQ(h.tally.upToDate, 1);
    EXPECT_EQ(h.tally.scheduled, 1);
    EXPECT_EQ(h.tally.failed, 6);  // refused counts as failed; bookkeeping is not counted
    EXPECT_EQ(h.Log(), "\n[Step]\nrefused line\nlog line\neither line\nboth line\n");
    EXPECT_EQ(boxes.boxes, (Texts{"Cap|box|0", "Cap|box|0"}));
    EXPECT_EQ(h.progress.sections, Texts{"[Step]"});

    // Without a log, "log or box" becomes a box; "log" stays untold.
    test::BoxRecorder quiet;
    Harness none(LogLevel::None);
    none.Add(0, "log", Failure("log line\n", Report::kLog));
    none.Add(0, "either", Failure("either line\n", Report::kLogOrBox));
    EXPECT_TRUE(none.Run());
    EXPECT_EQ(quiet.boxes, Texts{"Cap|box|0"});
    EXPECT_EQ(none.tally.failed, 2);
}

TEST(WorkRunner, EndsOfStepAndPhaseAndCancel) {
    test::BoxRecorder boxes;
    {
        // The rest of a step is counted failed, not carried out; the next step runs.
        Harness h;
        h.Add(0, "a", Failure("", Report::kNone, true));
        h.Add(0, "b", ItemResult::Done());
        h.Add(0, "c", ItemResult::Done());
        h.Add(1, "d", ItemResult::Done());
        EXPECT_TRUE(h.Run());
        EXPECT_EQ(h.ran, (Texts{"a", "d"}));
        EXPECT_EQ(h.tally.failed, 3);
        EXPECT_EQ(h.tally.done, 1);
    }
    {
        // A full disk ends the phase and cancels the run.
        Harness h;
        ItemResult full = Failure("", Report::kNone);
        full.endsPhase = true;
        h.Add(0, "a", full);
        h.Add(0, "b", ItemResult::Done());
        h.Add(1, "c", ItemResult::Done());
        EXPECT_FALSE(h.Run());
        EXPECT_EQ(h.ran, Texts{"a"});
        EXPECT_TRUE(h.context.endPhase);
        EXPECT_EQ(h.cancel.load(), 1);
        EXPECT_EQ(h.tally.failed, 1);
    }
    {
        // Cancel is seen between items: what was not reached is not counted.
        Harness h;
        h.Add(0, "a", ItemResult::Done());
        h.Add(0, "b", ItemResult::Done());
        h.Add(1, "c", ItemResult::Done());
        static_cast<Scripted&>(*h.phase[0].items[0]).onDo = [&h] { h.cancel = 1; };
        h.phase[1].logHeading = "\n[Later]\n";
        EXPECT_FALSE(h.Run());
        EXPECT_EQ(h.ran, Texts{"a"});
        EXPECT_EQ(h.tally.done, 1);
        EXPECT_EQ(h.Log(), "");
    }
}

TEST(WorkRunner, PlanRowsAndOutcomeLinesComeFromTheSameItems) {
    Harness h;
    h.Add(0, "a", ItemResult::Done());
    h.Add(1, "keep", ItemResult::Done(), false);
    h.Add(1, "b", ItemResult::Done());
    h.Add(2, "c", ItemResult::Done());
    h.phase[0].sectionText = "[First]";
    h.phase[2].sectionText = "[Third]";
    const std::vector<PlanRow> rows = DescribeWorkPhase(h.phase);
    ASSERT_EQ(rows.size(), 3u);  // not the bookkeeping
    // A step without a text of its own is shown under the text before it.
    EXPECT_EQ(rows[0].step + rows[0].target, "[First]a");
    EXPECT_EQ(rows[1].step + rows[1].target, "[First]b");
    EXPECT_EQ(rows[2].step + rows[2].target, "[Third]c");

    PlanRow row{"[S]", "delete directory", "C:\\Old", "", "", "", "", "", "", "", "refused: a protected folder"};
    EXPECT_EQ(OutcomeLine(row, ItemResult::Done()), "Done: delete directory C:\\Old\n");
    EXPECT_EQ(OutcomeLine(row, ItemResult::Refused("")), "Refused: delete directory C:\\Old (refused: a protected folder)\n");
    EXPECT_EQ(OutcomeLine(row, ItemResult::Failed(32, "", Report::kNone)), "Failed: delete directory C:\\Old (code 32)\n");
    EXPECT_EQ(OutcomeLine(row, ItemResult::Scheduled()), "Scheduled for the reboot: delete directory C:\\Old\n");

    // The outcome lines follow each counted item in a quiet run's full log.
    h.context.outcomeLines = true;
    EXPECT_TRUE(h.Run());
    EXPECT_EQ(h.Log(), "Done: act a\nDone: act b\nDone: act c\n");
}

}  // namespace
}  // namespace dp
