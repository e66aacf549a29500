// The saved dialog placement texts: any registry text parses, and what is
// stored reads back as it was.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "script/placement_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int32_t rect[4] = {20, 20, 600, 400};
    int32_t columns[9] = {80, 80, 80, 80, 30, 30, 30, 30, 30};
    dp::ParseRectText(text, rect);
    dp::ParseColumnsText(text, columns);
    for (int32_t width : columns)
        if (width < 0 || width > dp::kMaxColumnWidth) std::abort();
    int32_t rectBack[4] = {};
    int32_t columnsBack[9] = {};
    dp::ParseRectText(dp::FormatRectText(rect), rectBack);
    dp::ParseColumnsText(dp::FormatColumnsText(columns), columnsBack);
    for (int i = 0; i < 4; ++i)
        if (rectBack[i] != rect[i]) std::abort();
    for (int i = 0; i < 9; ++i)
        if (columnsBack[i] != columns[i]) std::abort();
    if (dp::FormatRectText(rect).size() >= dp::kPlacementDataSize) std::abort();
    return 0;
}
