#include "script/placement_text.h"

#include "script/script_text.h"

namespace dp {
namespace {

// Calls take(index, value) for the comma-separated values of the text, at
// most limit of them; returns how many values the text holds in all.
template <typename Take>
size_t ForEachValue(std::string_view text, size_t limit, Take take) {
    if (text.empty()) return 0;
    size_t count = 0;
    size_t begin = 0;
    for (;;) {
        size_t comma = text.find(',', begin);
        if (count < limit) take(count, ParseDecimal(text.substr(begin, comma - begin)));
        ++count;
        if (comma == std::string_view::npos) return count;
        begin = comma + 1;
    }
}

}  // namespace

void ParseRectText(std::string_view text, int32_t (&rect)[4]) {
    size_t count = ForEachValue(text, 3, [&](size_t i, int32_t v) { rect[i] = v; });
    if (count >= 4) rect[3] = ParseDecimal(text.substr(text.rfind(',') + 1));
}

void ParseColumnsText(std::string_view text, int32_t (&columns)[9]) {
    ForEachValue(text, 9, [&](size_t i, int32_t v) {
        if (v >= 0 && v <= kMaxColumnWidth) columns[i] = v;
    });
}

std::string FormatRectText(const int32_t (&rect)[4]) {
    std::string text;
    for (size_t i = 0; i < 4; ++i) {
        if (i > 0) text += " ,";
        text += std::to_string(rect[i]);
    }
    return text;
}

std::string FormatColumnsText(const int32_t (&columns)[9]) {
    std::string text;
    for (size_t i = 0; i < 9; ++i) {
        if (i > 0) text += i < 8 ? " ," : ", ";
        text += std::to_string(columns[i]);
    }
    return text;
}

}  // namespace dp
