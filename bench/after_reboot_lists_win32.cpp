// What the after-reboot lists cost for large installs: CopyFileList saved for
// N installed files (each value 521 bytes, as stored) and read back by the end
// phase (FinishCopiedFiles, the files themselves absent), under a scratch key.
//   bench_after_reboot_lists.exe [N...]        (default 1000 5000 20000)
#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_util_win32.h"
#include "items/com/com_registration.h"
#include "items/com/com_registration_win32.h"
#include "items/files/file_list.h"
#include "script/variable_table.h"

using dp::bench::Seconds;

int main(int argc, char** argv) {
    const std::string scratch = "Software\\DeployatorBench-" + std::to_string(GetCurrentProcessId());
    HKEY root = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, scratch.c_str(), &root) != ERROR_SUCCESS) return 1;
    dp::SetListRootForTesting([root] { return root; });
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {1000, 5000, 20000};
    for (int n : counts) {
        dp::FileList files;
        for (int i = 0; i < n; ++i) {
            dp::FileItem& it = files.items.emplace_back();
            it.targetPath = "C:\\Program Files\\Bench\\d" + std::to_string(i / 100) + "\\f" + std::to_string(i) + ".dat";
            it.selected = 1;
        }
        dp::VariableTable variables;
        int32_t reboot = 0;
        std::atomic<uint8_t> cancelled{0};
        dp::StepContext step{nullptr, dp::LogLevel::None, variables, files, reboot, cancelled};
        const double t0 = Seconds();
        dp::SaveCopyFileList(step);
        const double t1 = Seconds();
        std::vector<std::string> paths;
        dp::ReadSavedList(dp::kCopyFileList, paths);
        const double t2 = Seconds();
        dp::FinishCopiedFiles(step);
        const double t3 = Seconds();
        std::printf("%6d files: save %7.1f ms, read %7.1f ms (%zu paths), finish %7.1f ms\n", n,
                    (t1 - t0) * 1e3, (t2 - t1) * 1e3, paths.size(), (t3 - t2) * 1e3);
    }
    dp::SetListRootForTesting({});
    RegCloseKey(root);
    SHDeleteKeyA(HKEY_CURRENT_USER, scratch.c_str());
    return 0;
}
