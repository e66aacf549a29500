// The command line: upper-casing, the script path and the run options.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "base/path_policy.h"
#include "model/install_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    dp::UpperCaseInPlace(line);
    for (char c : line)
        if (c >= 'a' && c <= 'z') std::abort();

    std::string path;
    if (dp::GetScriptPath(line, path)) {
        if (path.size() > line.size()) std::abort();
        std::string resolved = dp::ResolveScriptPath(path, "C:\\P\\");
        if (resolved.size() > path.size() + 5) std::abort();  // + "C:\\P\\"
    }

    dp::InstallScript script("C:\\P\\");
    script.testInstall = size & 1;
    int32_t before = script.testInstall;
    dp::ApplyOptions(script, line);
    if (static_cast<int>(script.logLevel) < 0 || static_cast<int>(script.logLevel) > 2) std::abort();
    // The log path is the default one or a "-LF=" value the path policy accepts.
    if (script.logPath != "C:\\P\\kitup.log" && dp::CheckPath(script.logPath) != 0) std::abort();
    if (before && !script.testInstall) std::abort();
    return 0;
}
