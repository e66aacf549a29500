#include "ui/selection_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "resources/resource_ids.h"
#include "script/placement_text.h"
#include "ui/init_progress.h"

namespace dp {
namespace {

// id -> (x, y, width, height), -1 for what stays as it is.
std::map<int, std::tuple<int, int, int, int>> Layout(int width, int height) {
    std::map<int, std::tuple<int, int, int, int>> out;
    for (const ControlPlacement& p : LayoutSelectionControls(width, height))
        out[p.id] = {p.moves ? p.x : -1, p.moves ? p.y : -1, p.resizes ? p.width : -1, p.resizes ? p.height : -1};
    return out;
}

TEST(SelectionLayout, ControlsFollowTheWindowSize) {
    using P = std::tuple<int, int, int, int>;
    const std::map<int, P> at580x380 = {
        {IDC_MODULE_LIST, {-1, -1, 470, 270}}, {IDC_UPDATE, {490, 8, -1, -1}},
        {IDC_CANCEL_BUTTON, {490, 32, -1, -1}}, {IDC_MARK_ALL, {490, 62, -1, -1}},
        {IDC_UNMARK_ALL, {490, 86, -1, -1}},   {IDC_TARGET_LABEL, {10, 330, -1, -1}},
        {IDC_SOURCE_LABEL, {10, 305, -1, -1}}, {IDC_TARGET_PATH, {110, 330, 460, 16}},
        {IDC_SOURCE_PATH, {110, 305, 460, 16}},
    };
    EXPECT_EQ(Layout(580, 380), at580x380);
    EXPECT_EQ(Layout(300, 200)[IDC_MODULE_LIST], P(-1, -1, 190, 90));
    EXPECT_EQ(Layout(300, 200)[IDC_SOURCE_PATH], P(110, 125, 180, 16));
    // A rectangle smaller than the controls' margins gives no negative size.
    EXPECT_EQ(Layout(50, 60)[IDC_MODULE_LIST], P(-1, -1, 0, 0));
    EXPECT_EQ(Layout(50, 60)[IDC_TARGET_PATH], P(110, 10, 0, 16));
}

TEST(SelectionLayout, SavedPlacementOffEveryScreenComesBackOnTheNearest) {
    const std::vector<ScreenRect> two = {{0, 0, 1280, 984}, {1280, 0, 2304, 728}};
    const struct {
        const char* name;
        ScreenRect saved;
        std::vector<ScreenRect> areas;
        ScreenRect placed;
    } cases[] = {
        {"on screen", {20, 20, 600, 400}, two, {20, 20, 600, 400}},
        {"partly on the second", {2000, 600, 2600, 1000}, two, {2000, 600, 2600, 1000}},
        {"right of both", {5000, 100, 5580, 480}, two, {1724, 100, 2304, 480}},
        {"below the second", {2000, 1000, 2580, 1380}, two, {1724, 348, 2304, 728}},
        {"above the first", {100, -900, 680, -520}, two, {100, 0, 680, 380}},
        {"larger than the monitor", {-9000, 50, -6000, 2050}, two, {0, 0, 1280, 984}},
        {"inverted, off screen", {-400, 100, -700, 50}, two, {0, 100, 300, 300}},
        {"far out, no overflow", {2147483000, 2147483000, 2147483647, 2147483647}, two,
         {1657, 81, 2304, 728}},
        {"no monitors known", {5000, 5000, 5100, 5100}, {}, {5000, 5000, 5100, 5100}},
    };
    for (const auto& c : cases) {
        const ScreenRect got = PlaceOnScreen(c.saved, c.areas);
        EXPECT_EQ(got, c.placed) << c.name << ": " << got.left << "," << got.top << "," << got.right << ","
                                 << got.bottom;
    }
}

std::vector<int32_t> Columns(std::string_view text) {
    int32_t columns[9] = {80, 80, 80, 80, 30, 30, 30, 30, 30};
    ParseColumnsText(text, columns);
    return {std::begin(columns), std::end(columns)};
}

TEST(PlacementText, StoredFormatsReadBackTheSameValues) {
    const int32_t rect[4] = {-1200, 20, 600, 2147483647};
    EXPECT_EQ(FormatRectText(rect), "-1200 ,20 ,600 ,2147483647");
    int32_t back[4] = {};
    ParseRectText(FormatRectText(rect), back);
    EXPECT_EQ(std::vector<int32_t>(back, back + 4), std::vector<int32_t>(rect, rect + 4));

    // The widths the list reports; the ninth column does not exist (0).
    const int32_t listed[9] = {120, 80, 0, 80, 30, 30, 30, 31, 0};
    int32_t stored[9];
    for (int i = 0; i < 9; ++i) stored[i] = StoredColumnWidth(listed[i]);
    EXPECT_EQ(FormatColumnsText(stored), "120 ,80 ,10 ,80 ,30 ,30 ,30 ,31, 10");
    EXPECT_EQ(Columns(FormatColumnsText(stored)), (std::vector<int32_t>{120, 80, 10, 80, 30, 30, 30, 31, 10}));
    EXPECT_LT(FormatColumnsText(stored).size(), kPlacementDataSize);
}

TEST(PlacementText, ColumnWidthsOutOfRangeKeepTheDefaults) {
    const struct {
        const char* text;
        std::vector<int32_t> widths;
    } cases[] = {
        {"", {80, 80, 80, 80, 30, 30, 30, 30, 30}},
        {"100", {100, 80, 80, 80, 30, 30, 30, 30, 30}},
        {"-5 ,10001 ,10000 ,0 ,7", {80, 80, 10000, 0, 7, 30, 30, 30, 30}},
        {"99999999999 ,-2147483648 ,1,2,3,4,5,6,7,8", {80, 80, 1, 2, 3, 4, 5, 6, 7}},
    };
    for (const auto& c : cases) EXPECT_EQ(Columns(c.text), c.widths) << c.text;
}

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

// Sections of up to 50 items are paced item by item; a larger one is shown
// item by item without pausing (init_pacing.scn reads one under the window).
TEST(PollStop, OnlySmallSectionsArePaced) {
    for (const int total : {50, 51, 2000}) {
        FakeView view;
        int32_t stop = 0;
        for (int i = 1; i <= total; ++i) PollStopOn(view, i, total, stop);
        PollStopOn(view, 0, total, stop);
        const auto pauses = std::count(view.events.begin(), view.events.end(), "pause:100");
        EXPECT_EQ(pauses, total <= 50 ? total + 1 : 0) << total;
        EXPECT_EQ(view.events.back(), total <= 50 ? "pause:100" : "bar:0") << total;
    }
}

}  // namespace
}  // namespace dp
