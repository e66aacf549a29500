#include "ui/selection_layout.h"

#include <algorithm>

#include "items/files/file_texts.h"
#include "resources/message_ids.h"
#include "resources/resource_ids.h"

namespace dp {
namespace {

int NotNegative(int value) { return value < 0 ? 0 : value; }

bool Intersect(const ScreenRect& a, const ScreenRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// How far apart two rectangles are, across plus down (0 when they touch or
// overlap).
int64_t Distance(const ScreenRect& a, const ScreenRect& b) {
    const int64_t dx = std::max<int64_t>({0, int64_t{a.left} - b.right, int64_t{b.left} - a.right});
    const int64_t dy = std::max<int64_t>({0, int64_t{a.top} - b.bottom, int64_t{b.top} - a.bottom});
    return dx + dy;
}

// One side of the rectangle put into [low, high): its length at least
// minimum, at most the room; its start as near the saved start as it fits.
void FitSpan(int32_t& start, int32_t& end, int32_t low, int32_t high, int64_t minimum) {
    const int64_t room = int64_t{high} - low;
    const int64_t length = std::min(std::max(int64_t{end} - start, minimum), room);
    const int64_t first = std::clamp<int64_t>(start, low, high - length);
    start = static_cast<int32_t>(first);
    end = static_cast<int32_t>(first + length);
}

}  // namespace

std::array<ControlPlacement, 9> LayoutSelectionControls(int w, int h) {
    const int right = w - 90;
    return {{
        {IDC_MODULE_LIST, false, 0, 0, true, NotNegative(w - 110), NotNegative(h - 110)},
        {IDC_UPDATE, true, right, 8, false, 0, 0},
        {IDC_CANCEL_BUTTON, true, right, 32, false, 0, 0},
        {IDC_MARK_ALL, true, right, 62, false, 0, 0},
        {IDC_UNMARK_ALL, true, right, 86, false, 0, 0},
        {IDC_TARGET_LABEL, true, 10, h - 50, false, 0, 0},
        {IDC_SOURCE_LABEL, true, 10, h - 75, false, 0, 0},
        {IDC_TARGET_PATH, true, 110, h - 50, true, NotNegative(w - 120), 16},
        {IDC_SOURCE_PATH, true, 110, h - 75, true, NotNegative(w - 120), 16},
    }};
}

ScreenRect PlaceOnScreen(const ScreenRect& saved, const std::vector<ScreenRect>& workAreas) {
    if (workAreas.empty()) return saved;
    const ScreenRect* nearest = &workAreas.front();
    for (const ScreenRect& area : workAreas) {
        if (Intersect(saved, area)) return saved;
        if (Distance(saved, area) < Distance(saved, *nearest)) nearest = &area;
    }
    ScreenRect placed = saved;
    FitSpan(placed.left, placed.right, nearest->left, nearest->right, kMinSelectionWidth);
    FitSpan(placed.top, placed.bottom, nearest->top, nearest->bottom, kMinSelectionHeight);
    return placed;
}

const std::array<SelectionColumn, 8> kSelectionColumns = {{
    {kMsgColumnTarget, false},
    {kMsgColumnVersion, false},
    {kMsgColumnSource, false},
    {kMsgColumnVersion, true},
    {kMsgColumnNeedsUpdate, true},
    {kMsgColumnReg, true},
    {kMsgColumnAlways, true},
    {kMsgColumnFileType, true},
}};

std::string SelectionCellText(const FileItem& item, int column) {
    auto yesNo = [](uint8_t flag) { return std::string(flag ? "Yes" : "No"); };
    switch (column) {
        case 0: return TargetName(item);
        case 1: return TargetVersionText(item);
        case 2: return SourceName(item);
        case 3: return SourceVersionText(item);
        case 4: return yesNo(item.needsUpdate);
        case 5: return yesNo(item.registerFile);
        case 6: return yesNo(item.always);
        case 7: return item.font ? "Font" : "File";
        default: return {};
    }
}

}  // namespace dp
