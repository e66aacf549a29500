// What the directory deletion and the program runs cost beside the bare
// system calls: a tree of N files (folders of 100) deleted by
// DeleteDirectoryTree and by a plain recursive FindFirstFileA/DeleteFileA
// loop; K waited starts of runhelper.exe (its path has blanks, so each start
// probes for the program first) by RunFiles and by a bare
// CreateProcessA + WaitForSingleObject loop on the quoted command.
//   bench_directories.exe [N] [K]      (default 2000 files, 20 starts)
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_util_win32.h"
#include "base/program_win32.h"
#include "engine/work_runner.h"
#include "items/directories/directories.h"
#include "items/files/file_list.h"
#include "items/program_runs/program_runs.h"
#include "script/variable_table.h"

using dp::bench::Seconds;

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int k = argc > 2 ? std::atoi(argv[2]) : 20;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "dp bench dirs " + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(root.c_str(), nullptr);

    auto tree = [&](const char* what, auto remove) {
        const std::string dir = root + "\\tree";
        CreateDirectoryA(dir.c_str(), nullptr);
        dp::bench::WritePayload(dir, n, 16);
        const double t0 = Seconds();
        remove(dir);
        const double t = Seconds() - t0;
        std::printf("%-36s %7.3f s  %6.1f us/file%s\n", what, t, t * 1e6 / n,
                    GetFileAttributesA(dir.c_str()) == INVALID_FILE_ATTRIBUTES ? "" : "  (tree left!)");
    };
    tree("recursive FindFirstFileA loop", [](const std::string& dir) { dp::bench::RemoveFolder(dir); });
    tree("DeleteDirectoryTree", [](const std::string& dir) { (void)dp::DeleteDirectoryTree(dir); });

    const std::string helper = root + "\\run helper.exe";
    CopyFileA((dp::ProgramDirectory() + "runhelper.exe").c_str(), helper.c_str(), FALSE);
    const std::string command = helper + " code=0";
    auto starts = [&](const char* what, auto body) {
        const double t0 = Seconds();
        for (int i = 0; i < k; ++i) body();
        const double t = Seconds() - t0;
        std::printf("%-36s %7.3f s  %6.1f ms/start\n", what, t, t * 1e3 / k);
    };
    starts("CreateProcessA + WaitForSingleObject", [&] {
        std::string line = "\"" + helper + "\" code=0";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    });
    dp::VariableTable variables;
    dp::FileList files;
    int32_t reboot = 0;
    std::atomic<uint8_t> cancelled{0};
    dp::StepContext step{nullptr, dp::LogLevel::None, variables, files, reboot, cancelled};
    dp::RunFileList list;
    dp::ParseRunFiles(list, "Run=" + command + "!OnQueue!0", dp::kRunPhaseFirst, variables);
    starts("program run item (waited, code checked)", [&] {
        dp::WorkPhase phase(1);
        dp::AddProgramRuns(list, dp::kRunPhaseFirst, phase[0].items);
        dp::RunWorkPhase(phase, step, cancelled);
    });

    dp::bench::RemoveFolder(root);
    return 0;
}
