// What the install phase itself costs beside the copies it makes: the same
// N small files copied by a bare CopyFileA loop, by a CopyPackageFile loop,
// and by the install phase at log levels NONE, SHORT and FULL. The files lie
// in folders of 100, as in the peer benchmark's payload S (a folder of
// thousands makes every new name cost a scan of the folder under Wine).
//   bench_install_phase.exe [N] [FILE_BYTES]      (default 2000 files of 4 KiB)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util_win32.h"
#include "engine/install_context.h"
#include "items/files/file_operations.h"
#include "items/files/file_texts.h"
#include "model/install_script.h"

using dp::bench::Seconds;
using dp::bench::RemoveFolder;

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
    const size_t bytes = argc > 2 ? static_cast<size_t>(std::atoi(argv[2])) : 4096;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "dp_bench_phase_" + std::to_string(GetCurrentProcessId());
    const std::string src = root + "\\src", dst = root + "\\dst";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(src.c_str(), nullptr);

    const std::vector<std::string> names = dp::bench::WritePayload(src, n, bytes);

    auto run = [&](const char* what, auto body) {
        dp::bench::FreshTargetFolders(dst, n);
        const double t0 = Seconds();
        body();
        const double t = Seconds() - t0;
        std::printf("%-32s %7.3f s  %6.1f us/file\n", what, t, t * 1e6 / n);
    };

    run("CopyFileA loop", [&] {
        for (const std::string& name : names)
            CopyFileA((src + "\\" + name).c_str(), (dst + "\\" + name).c_str(), FALSE);
    });
    run("CopyPackageFile loop", [&] {
        int32_t reboot = 0;
        for (const std::string& name : names) dp::CopyPackageFile(src + "\\" + name, dst + "\\" + name, reboot);
    });
    for (dp::LogLevel level : {dp::LogLevel::None, dp::LogLevel::Short, dp::LogLevel::Full}) {
        dp::InstallScript script(root + "\\");
        script.logLevel = level;
        script.logPath = root + "\\bench.log";
        for (const std::string& name : names) {
            dp::FileItem it;
            it.selected = it.needsUpdate = it.sourceExists = 1;
            it.sourcePath = src + "\\" + name;
            it.targetPath = dst + "\\" + name;
            dp::FileFacts facts;
            facts.factsOk = 1;
            facts.size = bytes;
            facts.lastWriteTime = 133485840000000000ULL;  // 1 January 2024, noon
            dp::ShowSourceFacts(it, facts, "", true);
            it.targetShown = static_cast<uint8_t>(dp::FileShown::kNotFound);
            script.fileList.items.push_back(it);
        }
        const char* label = level == dp::LogLevel::None ? "install phase, log NONE"
                            : level == dp::LogLevel::Short ? "install phase, log SHORT"
                                                     : "install phase, log FULL";
        run(label, [&] {
            dp::InstallContext context(&script);
            context.RunInstallPhase();
        });
        DeleteFileA(script.logPath.c_str());
    }

    RemoveFolder(dst);
    RemoveFolder(src);
    RemoveDirectoryA(root.c_str());
    return 0;
}
