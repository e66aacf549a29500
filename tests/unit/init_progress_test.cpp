#include "ui/init_progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// A Stop answered No or Yes is shown end to end by stop.scn.
TEST(PollStop, BarMovesPerItemAndReturnsToZero) {
    FakeView view;
    int32_t stop = 0;
    for (int i : {1, 2, 0}) PollStopOn(view, i, 2, stop);
    EXPECT_EQ(stop, 0);
    EXPECT_EQ(view.events, (std::vector<std::string>{"bar:50", "pause:100", "bar:100", "pause:100",
                                                      "bar:0", "pause:100"}));
}

}  // namespace
}  // namespace dp
