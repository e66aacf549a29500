#include "ui/selection_layout.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "resources/resource_ids.h"

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

}  // namespace
}  // namespace dp
