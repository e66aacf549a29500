#pragma once
// The decisions of the module selection dialog that need no window: where its
// controls go for a window size, where it opens, and what its list shows.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "items/files/file_list.h"

namespace dp {

// The smallest window the user can drag the dialog to, in pixels.
constexpr int kMinSelectionWidth = 300;
constexpr int kMinSelectionHeight = 200;

// Where one control goes: a new position (inside the dialog) and/or a new
// size; what does not change is left as it is.
struct ControlPlacement {
    int id;
    bool moves;
    int x, y;
    bool resizes;
    int width, height;
};

// The nine controls of the dialog for a window of width by height pixels.
// Sizes that would come out negative are 0.
std::array<ControlPlacement, 9> LayoutSelectionControls(int width, int height);

struct ScreenRect {
    int32_t left, top, right, bottom;
    bool operator==(const ScreenRect&) const = default;
};

// Where the dialog opens for its saved window rectangle, given the work areas
// of the monitors: the saved rectangle when it intersects one of them;
// otherwise it is put into the nearest work area, its size kept (at least the
// smallest size) but shrunk to fit. With no work areas, the saved rectangle.
ScreenRect PlaceOnScreen(const ScreenRect& saved, const std::vector<ScreenRect>& workAreas);

// The list's columns: heading (string-table id) and alignment.
struct SelectionColumn {
    int headingId;
    bool alignRight;
};
extern const std::array<SelectionColumn, 8> kSelectionColumns;

// The text of one cell of the list: row item, column 0 to 7 ("" for others).
std::string SelectionCellText(const FileItem& item, int column);

}  // namespace dp
