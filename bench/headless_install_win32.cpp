// deployator.exe's ordinary run without any window, for timing the installer
// beside other installers: the script is read as the program reads it (but
// without the initialisation window, and so without its 100 ms pacing per
// item), the command line is applied, then the install phase runs on its
// worker thread and the end phase after it. Message boxes still appear.
//   bench_headless_install.exe -C=SCRIPT [-LSHORT|-LFULL|-LNONE] [-LF=PATH] ...
// Exit code: 1 when the install ran, 0 when the script could not be read.
// With DP_BENCH_TIMES set, the time of the reading and of the two phases goes
// to standard error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_util_win32.h"
#include "app/command_line.h"
#include "base/program_win32.h"
#include "engine/install_phases_win32.h"
#include "model/install_script.h"

using dp::bench::Seconds;

int main(int argc, char** argv) {
    const bool times = std::getenv("DP_BENCH_TIMES") != nullptr;
    const double start = Seconds();
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    dp::UpperCaseInPlace(commandLine);
    std::string path;
    if (!dp::GetScriptPath(commandLine, path)) {
        dp::ShowUsage();
        return 0;
    }
    path = dp::ResolveScriptPath(path, dp::ProgramDirectory());

    dp::InstallScript script;
    dp::currentScript = &script;
    if (commandLine.find("-AFTERREBOOT") != std::string::npos) script.afterReboot = 1;
    if (!script.ReadScript(path)) return 0;
    const double read = Seconds();
    dp::ApplyOptions(script, commandLine);
    script.commandLine = commandLine;
    int result = dp::RunOrdinaryInstallWithoutWindows(script);
    if (times) {
        std::fprintf(stderr, "items %d: reading %.3f s, install and end phases %.3f s\n",
                     script.fileList.count(), read - start, Seconds() - read);
    }
    dp::currentScript = nullptr;
    return result;
}
