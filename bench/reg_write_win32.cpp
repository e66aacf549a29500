// Writing registry values: 10,000 values under 100 keys below a scratch key
// of HKCU, once listed key by key (one open per key) and once with the keys
// taking turns (an open per value), for comparison.
//
// Build: part of the Windows build (target bench_reg_write).
// Run:   tools/wine-harness setup <build>/win
//        <build>/win/wine-run <build>/win/bench_reg_write.exe [values] [keys]
// Prints the best of three runs of each order; the scratch key is deleted
// before every run and at the end.
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_util_win32.h"
#include "engine/work_runner.h"
#include "items/files/file_list.h"
#include "items/registry/registry_items.h"
#include "script/variable_table.h"

namespace {

constexpr char kScratch[] = "Software\\DeployatorBench";

dp::RegEntryList MakeEntries(int values, int keys, bool interleaved) {
    dp::RegEntryList list;
    for (int i = 0; i < values; ++i) {
        const int key = interleaved ? i % keys : i / (values / keys);
        const std::string path = std::string("HKEY_CURRENT_USER\\") + kScratch + "\\Key" + std::to_string(key);
        const std::string name = "Value" + std::to_string(i);
        switch (i % 3) {
            case 0: list.Add(dp::kRegSz, path, name, "C:\\Program Files\\Velmora\\file" + std::to_string(i)); break;
            case 1: list.Add(dp::kRegDword, path, name, "0000ff00"); break;
            default: list.Add(dp::kRegBinary, path, name, std::string(24, '\x5a'));
        }
    }
    return list;
}

double Run(dp::RegEntryList& list) {
    SHDeleteKeyA(HKEY_CURRENT_USER, kScratch);
    dp::VariableTable variables;
    dp::FileList files;
    int32_t reboot = 0;
    std::atomic<uint8_t> cancelled{0};
    dp::StepContext step{nullptr, dp::LogLevel::None, variables, files, reboot, cancelled};
    dp::WorkPhase phase(1);
    dp::AddRegistryValues(list, phase[0].items);
    const double start = dp::bench::Seconds();
    const bool ok = dp::RunWorkPhase(phase, step, cancelled);
    const double seconds = dp::bench::Seconds() - start;
    if (!ok) std::puts("(writing stopped)");
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const int values = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int keys = argc > 2 ? std::atoi(argv[2]) : 100;
    if (values <= 0 || keys <= 0 || values % keys != 0) {
        std::puts("values must be a positive multiple of keys");
        return 2;
    }
    std::printf("%8s %6s %-12s %10s %12s\n", "values", "keys", "order", "seconds", "us/value");
    for (bool interleaved : {false, true}) {
        dp::RegEntryList list = MakeEntries(values, keys, interleaved);
        double best = 1e9;
        for (int run = 0; run < 3; ++run) best = std::min(best, Run(list));
        std::printf("%8d %6d %-12s %10.3f %12.1f\n", values, keys, interleaved ? "interleaved" : "by key",
                    best, best * 1e6 / values);
    }
    SHDeleteKeyA(HKEY_CURRENT_USER, kScratch);
    return 0;
}
