#pragma once
// Small text helpers shared by every layer: trims, line splitting, decimal
// numbers and progress percentages. Plain strings, linear time.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dp {

// Removes the characters of atEnd from the end of the text, then those of
// atBegin from its beginning, in place; returns the text.
std::string& TrimChars(std::string& text, std::string_view atEnd, std::string_view atBegin);
inline std::string& TrimChars(std::string& text, std::string_view both) {
    return TrimChars(text, both, both);
}
// The same for a view (nothing is copied).
std::string_view TrimView(std::string_view text, std::string_view both);

// The lines of a text, cut at each line feed (a carriage return stays in its
// line): n line feeds give n + 1 lines, so an empty text is one empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Lines as the section parsers count them: line feeds + 1 (saturated).
int32_t CountLines(std::string_view text);

// A decimal number the way the C library's atoi reads it: leading white
// space skipped, an optional sign, digits up to the first non-digit; no
// digits give 0. Out-of-range values are clamped to the 32-bit range.
int32_t ParseDecimal(std::string_view text);
// A value that is a decimal number as a whole: blanks around it, an optional
// sign and digits only (read as ParseDecimal reads them). Nothing for any
// other text: "", "abc", "0x10", "12kb".
std::optional<int32_t> ParseWholeDecimal(std::string_view text);

// done * 100 / total (integer division, no overflow); `current` when total is 0.
int ProgressPercent(int64_t done, int64_t total, int current = 0);

// Equality with ASCII letters folded, as the C library's case-insensitive
// comparison does it.
bool EqualNoCase(std::string_view a, std::string_view b);

// Position of the last backslash that is a character of its own, not the
// second byte of a double-byte character (isLeadByte tells which bytes start
// one); npos when there is none.
size_t FindLastBackslash(std::string_view text, bool (*isLeadByte)(unsigned char));

}  // namespace dp
