// Reading [SetFontSubstitutes] and [DeleteFontSubstitutes].
#include "items/font_substitutes.h"

#include "base/run_flags.h"
#include "base/text.h"
#include "script/script_text.h"

namespace dp {

int ParseFontSubstitutes(FontSubstituteList& list, const std::string& section, int deletion) {
    int32_t stop = stopRequested.load();
    if (section.empty()) return 1;
    std::string text = section;
    FontSubstituteTrim(text);
    if (text.empty()) return stop == 1 ? 0 : 1;

    const std::vector<std::string_view> lines = SplitLines(text);
    const int total = static_cast<int>(lines.size());
    list.names.reserve(list.names.size() + lines.size());
    list.values.reserve(list.values.size() + lines.size());
    int done = 0;
    for (std::string_view line : lines) {
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) return 0;
        std::string name(line.substr(0, equals));
        FontSubstituteTrim(name);
        list.ShowProgressLine(name, kItemLine);
        list.PollStop(++done, total, stop);
        if (stop == 1) break;
        std::optional<std::string> value;
        if (!deletion) {
            value.emplace(line.substr(equals + 1));
            FontSubstituteTrim(*value);
        }
        list.names.push_back(std::move(name));
        list.values.push_back(std::move(value));
    }
    list.PollStop(0, total, stop);
    return stop == 1 ? 0 : 1;
}

}  // namespace dp
