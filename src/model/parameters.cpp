// [Parameters]: one "key=value" per line, applied in line order.
#include <string_view>

#include "base/run_flags.h"
#include "model/install_script.h"
#include "script/script_text.h"

namespace dp {

int InstallScript::ParseParameters(const std::string& section) {
    int32_t stop = stopRequested.load();
    if (section.empty()) return stop ? 0 : 1;

    const std::string_view text(section);
    const int32_t lines = CountLines(text);
    ParameterTargets targets{testInstall, logLevel, logPath, logSizeKB};
    size_t begin = 0;
    for (int32_t number = 1; number <= lines; ++number) {
        size_t lf = text.find('\n', begin);
        std::string_view line = text.substr(begin, lf == std::string_view::npos ? lf : lf - begin);
        begin = lf == std::string_view::npos ? text.size() : lf + 1;

        size_t equals = line.find('=');
        if (equals == std::string_view::npos) return 0;
        std::string_view key = line.substr(0, equals);
        std::string_view value = line.substr(equals + 1);

        ShowProgressLine(std::string(key), kItemLine);
        PollStop(number, lines, stop);
        if (stop == 1) break;
        ApplyParameterLine(key, value, targets);
    }
    PollStop(0, lines, stop);
    return stop == 1 ? 0 : 1;
}

}  // namespace dp
