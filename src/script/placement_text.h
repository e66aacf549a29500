#pragma once
// The saved placement of the module selection dialog, as the registry keeps
// it: "Rect" and "Columns", texts of comma-separated decimal numbers.
#include <cstdint>
#include <string_view>

namespace dp {

// "left,top,right,bottom": the first three values are left, top and right;
// with four or more values the one after the last comma is the bottom. A
// value the text does not give keeps what rect holds (an empty text gives
// none).
void ParseRectText(std::string_view text, int32_t (&rect)[4]);

// Up to nine values go to the columns in order; text after the ninth value is
// ignored. Columns the text does not give keep what they hold.
void ParseColumnsText(std::string_view text, int32_t (&columns)[9]);

}  // namespace dp
