// Variable expansion against the slow way: restart at the beginning after each
// replacement, with a bound on the number of replacements. Whenever the slow
// way ends within its bound, the fast one must give the same result and text;
// it may report a self-reference only where the slow way does not end, or
// fails later on an undefined name.
//
// Input: first line the text; then up to eight "name=value" lines. The first
// byte's low bit chooses tolerant mode.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "log/message_box.h"
#include "script/variable_table.h"

namespace {

enum class Slow { Done, Undefined, Endless };

Slow SlowExpand(const dp::VariableTable& table, std::string& text, bool tolerant) {
    size_t from = 0;
    for (int replacements = 0;;) {
        size_t open = text.find('%', from);
        if (open == std::string::npos) return Slow::Done;
        size_t close = text.find('%', open + 1);
        if (close == std::string::npos) return Slow::Done;
        if (close - open - 1 < 2) {
            from = open + 1;
            continue;
        }
        const std::string* value = table.FindValue(text.substr(open + 1, close - open - 1));
        if (!value) {
            if (tolerant) {
                from = open + 1;
                continue;
            }
            return Slow::Undefined;
        }
        if (++replacements > 200 || text.size() > 4096) return Slow::Endless;
        text = text.substr(0, open) + *value + text.substr(close + 1);
        from = 0;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 512) return 0;
    const bool tolerant = data[0] & 1;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos <= input.size();) {
        size_t lf = input.find('\n', pos);
        if (lf == std::string_view::npos) lf = input.size();
        lines.push_back(input.substr(pos, lf - pos));
        pos = lf + 1;
    }
    dp::VariableTable table;
    for (size_t i = 1; i < lines.size() && i <= 8; ++i) {
        size_t eq = lines[i].find('=');
        if (eq == std::string_view::npos) continue;
        table.AddEntry(std::string(lines[i].substr(0, eq)), "", std::string(lines[i].substr(eq + 1)));
    }

    std::string boxText;
    auto old = dp::SetMessageBoxHandler(
        [&](const std::string& text, const std::string&, unsigned) {
            boxText = text;
            return dp::kAnswerOk;
        });
    std::string fast(lines[0]);
    int result = table.ExpandVariables(fast, tolerant);
    dp::SetMessageBoxHandler(old);

    std::string slow(lines[0]);
    Slow outcome = SlowExpand(table, slow, tolerant);
    const bool selfReference = boxText.rfind("Variable refers to itself", 0) == 0;
    switch (outcome) {
        case Slow::Done:
            if (result != 1 || fast != slow) std::abort();
            break;
        case Slow::Undefined:
            // A variable whose value refers to itself may be caught before the
            // slow way runs into the undefined name further on.
            if (result != 0 || (!selfReference && fast != slow)) std::abort();
            break;
        case Slow::Endless:
            break;  // the fast way must merely have ended
    }
    return 0;
}
