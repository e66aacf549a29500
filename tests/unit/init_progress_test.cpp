#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_flags.h"
#include "log/message_box.h"
#include "ui/init_progress.h"

namespace dp {
namespace {

TEST(ProgressLine, PrefixByKindAndCutAt259) {
    EXPECT_EQ(ComposeProgressLine("[InstallFiles]", 1), "Reading section: [InstallFiles]");
    EXPECT_EQ(ComposeProgressLine("a.dll", 0), "Checking item: a.dll");
    EXPECT_EQ(ComposeProgressLine("a.dll", 7), "Checking item: a.dll");
    EXPECT_EQ(ComposeProgressLine("", 1), "Reading section: ");

    const std::string prefix = "Checking item: ";
    std::string exact(259 - prefix.size(), 'x');
    EXPECT_EQ(ComposeProgressLine(exact, 0), prefix + exact);
    std::string line = ComposeProgressLine(std::string(100000, 'y'), 0);
    EXPECT_EQ(line.size(), 259u);
    EXPECT_EQ(line.substr(0, prefix.size()), prefix);
}

TEST(ProgressLine, Percent) {
    struct Case {
        int64_t done, total;
        int current, want;
    } cases[] = {
        {1, 4, 0, 25}, {2, 4, 0, 50}, {3, 4, 0, 75}, {4, 4, 0, 100}, {0, 4, 100, 0},
        {1, 3, 0, 33}, {5, 0, 42, 42},  // total 0 keeps the bar where it is
        {2000000000, 2000000000, 0, 100},  // no overflow in done * 100
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProgressPercent(c.done, c.total, c.current), c.want) << c.done << "/" << c.total;
}

// Records what PollStop does to the window.
class FakeView : public InitWindowView {
public:
    void SetSectionLine(const std::string& t) override { events.push_back("section:" + t); }
    void SetItemLine(const std::string& t) override { events.push_back("item:" + t); }
    int BarPosition() override { return bar; }
    void SetBarPosition(int p) override {
        bar = p;
        events.push_back("bar:" + std::to_string(p));
    }
    void Pause(int ms) override { events.push_back("pause:" + std::to_string(ms)); }
    int bar = 0;
    std::vector<std::string> events;
};

class PollStopTest : public ::testing::Test {
protected:
    void SetUp() override {
        stopRequested = 0;
        old_ = SetMessageBoxHandler([this](const std::string& text, const std::string& caption,
                                           unsigned style) {
            boxes.push_back(caption + "|" + text + "|" + std::to_string(style));
            return answer;
        });
    }
    void TearDown() override {
        SetMessageBoxHandler(old_);
        stopRequested = 0;
    }
    MessageBoxHandler old_;
    int answer = kAnswerNo;
    std::vector<std::string> boxes;
    FakeView view;
};

TEST_F(PollStopTest, SectionOfFourItemsMovesTheBarAndBackToZero) {
    int32_t stop = 0;
    for (int i = 1; i <= 4; ++i) PollStopOn(view, i, 4, stop);
    PollStopOn(view, 0, 4, stop);
    EXPECT_EQ(stop, 0);
    EXPECT_TRUE(boxes.empty());
    std::vector<std::string> want = {"bar:25", "pause:100", "bar:50", "pause:100", "bar:75",
                                     "pause:100", "bar:100", "pause:100", "bar:0", "pause:100"};
    EXPECT_EQ(view.events, want);
}

TEST_F(PollStopTest, StopAnsweredNoGoesOnAndAsksAgainNextTime) {
    int32_t stop = 0;
    stopRequested = 1;
    PollStopOn(view, 1, 2, stop);
    EXPECT_EQ(stop, 0);
    EXPECT_EQ(stopRequested.load(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Stopping initializing...|Would you like to cancel initialization?|36");
    EXPECT_EQ(view.bar, 50);

    PollStopOn(view, 2, 2, stop);  // no Stop pending: no box
    EXPECT_EQ(boxes.size(), 1u);
    stopRequested = 1;
    PollStopOn(view, 2, 2, stop);
    EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(PollStopTest, StopAnsweredYesClearsTheSectionLineAndStops) {
    int32_t stop = 0;
    stopRequested = 1;
    answer = kAnswerYes;
    PollStopOn(view, 1, 2, stop);
    EXPECT_EQ(stop, 1);
    EXPECT_EQ(stopRequested.load(), 1);  // stays set for the rest of the run
    std::vector<std::string> want = {"section:", "item:Stopping initializing...", "pause:500"};
    EXPECT_EQ(view.events, want);

    // A parser that already stopped polls without effect.
    PollStopOn(view, 2, 2, stop);
    EXPECT_EQ(view.events, want);
    EXPECT_EQ(boxes.size(), 1u);
}

}  // namespace
}  // namespace dp
