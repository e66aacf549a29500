#include "base/text.h"

#include <limits>

namespace dp {
namespace {
bool InSet(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }
char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string& TrimChars(std::string& text, std::string_view atEnd, std::string_view atBegin) {
    size_t end = text.size();
    while (end > 0 && InSet(text[end - 1], atEnd)) --end;
    text.resize(end);
    size_t begin = 0;
    while (begin < text.size() && InSet(text[begin], atBegin)) ++begin;
    text.erase(0, begin);
    return text;
}

std::string_view TrimView(std::string_view text, std::string_view both) {
    size_t end = text.size();
    while (end > 0 && InSet(text[end - 1], both)) --end;
    size_t begin = 0;
    while (begin < end && InSet(text[begin], both)) ++begin;
    return text.substr(begin, end - begin);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

int32_t CountLines(std::string_view text) {
    int64_t lines = 1;
    for (char c : text)
        if (c == '\n') ++lines;
    return lines > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                        : static_cast<int32_t>(lines);
}

int32_t ParseDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so INT32_MIN fits.
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < kMin) value = kMin - 1;  // saturate; clamped below
    }
    if (negative) return value < kMin ? std::numeric_limits<int32_t>::min()
                                      : static_cast<int32_t>(value);
    if (value < -static_cast<int64_t>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(-value);
}

std::optional<int32_t> ParseWholeDecimal(std::string_view text) {
    const std::string_view number = TrimView(text, " \t\r\n");
    const size_t digits = number.empty() || number[0] == '+' || number[0] == '-' ? 1 : 0;
    if (number.size() <= digits) return std::nullopt;
    for (size_t i = digits; i < number.size(); ++i)
        if (number[i] < '0' || number[i] > '9') return std::nullopt;
    return ParseDecimal(number);
}

int ProgressPercent(int64_t done, int64_t total, int current) {
    if (total == 0) return current;
    return static_cast<int>(done * 100 / total);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

size_t FindLastBackslash(std::string_view text, bool (*isLeadByte)(unsigned char)) {
    size_t last = std::string_view::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (isLeadByte(c) && i + 1 < text.size())
            ++i;  // the trail byte may look like a backslash
        else if (c == '\\')
            last = i;
    }
    return last;
}

}  // namespace dp
