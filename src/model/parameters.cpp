// [Parameters]: one "key=value" per line, applied in line order.
#include <string_view>

#include "base/reading_watch.h"
#include "base/run_flags.h"
#include "model/install_script.h"
#include "script/script_text.h"

namespace dp {

int InstallScript::ParseParameters(const std::string& section) {
    if (section.empty()) return stopRequested.load() ? 0 : 1;

    ParameterTargets targets{testInstall, logLevel, logPath, logSizeKB, rollback, runTimeoutSeconds, sixtyFourBit};
    SectionWalk walk(*this, section);
    for (std::string_view line : walk.lines()) {
        NoteSectionLine(line);
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) return 0;
        const std::string_view key = line.substr(0, equals);
        if (!walk.Next(std::string(key))) break;
        ApplyParameterLine(key, line.substr(equals + 1), targets);
    }
    return walk.Finish();
}

}  // namespace dp
