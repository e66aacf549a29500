#include "ui/init_progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/run_flags.h"
#include "support/recorders.h"

namespace dp {
namespace {

TEST(ProgressLine, PrefixByKindAndCutAt259) {
    EXPECT_EQ(ComposeProgressLine("[InstallFiles]", 1), "Reading section: [InstallFiles]");
    EXPECT_EQ(ComposeProgressLine("a.dll", 7), "Checking item: a.dll");
    const std::string fits(259 - 15, 'x');
    EXPECT_EQ(ComposeProgressLine(fits, 0), "Checking item: " + fits);
    EXPECT_EQ(ComposeProgressLine(std::string(100000, 'y'), 0), "Checking item: " + std::string(244, 'y'));
}

// Records what PollStop does to the window.
class FakeView : public InitWindowView {
public:
    void SetSectionLine(const std::string& t) override { events.push_back("section:" + t); }
    void SetItemLine(const std::string& t) override { events.push_back("item:" + t); }
    int BarPosition() override { return bar; }
    void SetBarPosition(int p) override { events.push_back("bar:" + std::to_string(bar = p)); }
    void Pause(int ms) override { events.push_back("pause:" + std::to_string(ms)); }
    int bar = 0;
    std::vector<std::string> events;
};

TEST(PollStop, BarMovesPerItemAndReturnsToZero) {
    FakeView view;
    int32_t stop = 0;
    for (int i : {1, 2, 0}) PollStopOn(view, i, 2, stop);
    EXPECT_EQ(stop, 0);
    EXPECT_EQ(view.events, (std::vector<std::string>{"bar:50", "pause:100", "bar:100", "pause:100",
                                                      "bar:0", "pause:100"}));
}

TEST(PollStop, StopAnsweredNoGoesOnYesStopsForGood) {
    FakeView view;
    test::BoxRecorder boxes(kAnswerNo);
    int32_t stop = 0;
    stopRequested = 1;
    PollStopOn(view, 1, 2, stop);
    EXPECT_EQ(stop, 0);
    EXPECT_EQ(stopRequested.load(), 0);  // a later Stop asks again
    EXPECT_EQ(view.bar, 50);             // the poll goes on as without a Stop

    view.events.clear();
    boxes.answer = kAnswerYes;
    stopRequested = 1;
    PollStopOn(view, 2, 2, stop);
    PollStopOn(view, 2, 2, stop);  // a parser that already stopped: no effect
    EXPECT_EQ(stop, 1);
    EXPECT_EQ(stopRequested.load(), 1);  // stays set for the rest of the run
    EXPECT_EQ(boxes.boxes,
              std::vector<std::string>(2, "Stopping initializing...|Would you like to cancel initialization?|36"));
    EXPECT_EQ(view.events,
              (std::vector<std::string>{"section:", "item:Stopping initializing...", "pause:500"}));
    stopRequested = 0;
}

}  // namespace
}  // namespace dp
