// Reading [SetFontSubstitutes] and [DeleteFontSubstitutes].
#include "items/font_substitutes/font_substitutes.h"

#include "base/reading_watch.h"
#include "base/run_flags.h"
#include "base/text.h"
#include "script/script_text.h"

namespace dp {

int ParseFontSubstitutes(FontSubstituteList& list, const std::string& section, int deletion) {
    if (section.empty()) return 1;
    std::string text = section;
    FontSubstituteTrim(text);
    if (text.empty()) return stopRequested.load() == 1 ? 0 : 1;

    SectionWalk walk(list, text);
    list.names.reserve(list.names.size() + walk.lines().size());
    list.values.reserve(list.values.size() + walk.lines().size());
    for (std::string_view line : walk.lines()) {
        NoteSectionLine(line);
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) return 0;
        std::string name(line.substr(0, equals));
        FontSubstituteTrim(name);
        if (!walk.Next(name)) break;
        std::optional<std::string> value;
        if (!deletion) {
            value.emplace(line.substr(equals + 1));
            FontSubstituteTrim(*value);
        }
        list.names.push_back(std::move(name));
        list.values.push_back(std::move(value));
    }
    return walk.Finish();
}

}  // namespace dp
