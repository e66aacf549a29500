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

#include "engine/install_context.h"
#include "items/files/file_operations.h"
#include "script/install_script.h"

namespace {

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void RemoveFolder(const std::string& dir) {
    WIN32_FIND_DATAA f;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &f);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = f.cFileName;
            if (name == "." || name == "..") continue;
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(dir + "\\" + name);
            else
                DeleteFileA((dir + "\\" + name).c_str());
        } while (FindNextFileA(h, &f));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
    const size_t bytes = argc > 2 ? static_cast<size_t>(std::atoi(argv[2])) : 4096;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "dp_bench_phase_" + std::to_string(GetCurrentProcessId());
    const std::string src = root + "\\src", dst = root + "\\dst";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(src.c_str(), nullptr);

    std::vector<std::string> names;
    std::string data(bytes, 'x');
    for (int i = 0; i < n; ++i) {
        const std::string folder = "d" + std::to_string(i / 100);
        if (i % 100 == 0) CreateDirectoryA((src + "\\" + folder).c_str(), nullptr);
        names.push_back(folder + "\\f" + std::to_string(i) + ".dat");
        data[0] = static_cast<char>(i);
        FILE* f = std::fopen((src + "\\" + names.back()).c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }

    auto run = [&](const char* what, auto body) {
        RemoveFolder(dst);
        CreateDirectoryA(dst.c_str(), nullptr);
        for (int i = 0; i < n; i += 100) CreateDirectoryA((dst + "\\d" + std::to_string(i / 100)).c_str(), nullptr);
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
        for (const std::string& name : names) dp::CopyPackageFile(src + "\\" + name, dst + "\\" + name, nullptr, reboot);
    });
    for (int level : {dp::kLogNone, dp::kLogShort, dp::kLogFull}) {
        dp::InstallScript script(root + "\\");
        script.logLevel = level;
        script.logPath = root + "\\bench.log";
        for (const std::string& name : names) {
            dp::FileItem it;
            it.selected = it.needsUpdate = it.sourceExists = 1;
            it.sourcePath = src + "\\" + name;
            it.targetPath = dst + "\\" + name;
            it.sourceVersionText = "1.1.2024";
            it.sourceDetails = std::to_string(bytes) + "; 1.1.2024";
            it.targetVersionText = "- not found -";
            script.fileList.items.push_back(it);
        }
        const char* label = level == dp::kLogNone ? "install phase, log NONE"
                            : level == dp::kLogShort ? "install phase, log SHORT"
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
