#pragma once
// The saved placement of the module selection dialog, as the registry keeps
// it: "Rect" and "Columns", texts of comma-separated decimal numbers.
#include <cstdint>
#include <string>
#include <string_view>

namespace dp {

// Both values are stored with this data length: the text, its terminating
// zero and zero filler.
constexpr size_t kPlacementDataSize = 260;

// Saved column widths outside 0..kMaxColumnWidth are not taken.
constexpr int32_t kMaxColumnWidth = 10000;

// "left,top,right,bottom": the first three values are left, top and right;
// with four or more values the one after the last comma is the bottom. A
// value the text does not give keeps what rect holds (an empty text gives
// none).
void ParseRectText(std::string_view text, int32_t (&rect)[4]);

// Up to nine values go to the columns in order; text after the ninth value is
// ignored. Columns the text does not give, and widths that are negative or
// above kMaxColumnWidth, keep what they hold (the defaults).
void ParseColumnsText(std::string_view text, int32_t (&columns)[9]);

// "%i ,%i ,%i ,%i": left, top, right, bottom.
std::string FormatRectText(const int32_t (&rect)[4]);
// "%i ,%i ,%i ,%i ,%i ,%i ,%i ,%i, %i": the nine widths.
std::string FormatColumnsText(const int32_t (&columns)[9]);

// The width saved for a column of the list: its width, except that a width
// of 0 (what the list reports for the ninth column, which it lacks) is
// saved as 10.
constexpr int32_t StoredColumnWidth(int32_t listWidth) { return listWidth == 0 ? 10 : listWidth; }

}  // namespace dp
