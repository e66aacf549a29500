// Where each line of the stripped script came from: the removals with line
// origins give the same text as without, one origin per line, in order and
// within the original, and for every non-empty line the original line of its
// first character, as removals done the slow way on (character, line) pairs
// tell it. StrippedScript answers the same for any offset.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/script_check.h"
#include "script/script_text.h"

namespace {

using Marked = std::vector<std::pair<char, int32_t>>;  // each character with its original line

size_t Find(const Marked& text, std::string_view what, size_t from) {
    for (size_t i = from; i + what.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < what.size() && text[i + k].first == what[k]) ++k;
        if (k == what.size()) return i;
    }
    return std::string::npos;
}

void SlowRemoveComments(Marked& text) {
    for (size_t semi; (semi = Find(text, ";", 0)) != std::string::npos;) {
        const size_t lf = Find(text, "\n", semi);
        text.erase(text.begin() + static_cast<std::ptrdiff_t>(semi),
                   lf == std::string::npos ? text.end() : text.begin() + static_cast<std::ptrdiff_t>(lf + 1));
    }
}

void SlowRemoveEmptyLines(Marked& text) {
    for (size_t at; (at = Find(text, "\r\n\r\n", 0)) != std::string::npos;)
        text.erase(text.begin() + static_cast<std::ptrdiff_t>(at + 2), text.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string original(reinterpret_cast<const char*>(data), size);
    int32_t originalLines = 1;
    for (char c : original) originalLines += c == '\n' ? 1 : 0;

    std::string plain = original;
    dp::RemoveComments(plain);
    dp::RemoveEmptyLines(plain);
    const dp::StrippedScript script(original);
    const std::string& text = script.text();
    const dp::LineOrigins& origins = script.origins();
    if (text != plain) std::abort();

    size_t lines = 1;
    for (char c : text) lines += c == '\n' ? 1 : 0;
    if (origins.size() != lines) std::abort();
    for (size_t k = 0; k < origins.size(); ++k) {
        if (origins[k] < 1 || origins[k] > originalLines) std::abort();
        if (k > 0 && origins[k] < origins[k - 1]) std::abort();
    }

    if (size > 2048) return 0;  // the slow way is quadratic
    Marked marked;
    int32_t line = 1;
    for (char c : original) {
        marked.emplace_back(c, line);
        if (c == '\n') ++line;
    }
    SlowRemoveComments(marked);
    SlowRemoveEmptyLines(marked);
    if (marked.size() != text.size()) std::abort();
    size_t k = 0;  // the line of text[i]
    bool lineStart = true;
    for (size_t i = 0; i < marked.size(); ++i) {
        if (marked[i].first != text[i]) std::abort();
        if (lineStart && origins[k] != marked[i].second) std::abort();
        if (script.OriginalLine(i) != origins[k]) std::abort();
        lineStart = text[i] == '\n';
        if (lineStart) ++k;
    }
    return 0;
}
