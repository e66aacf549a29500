// Reading [InstallFiles] with many lines whose sources and targets exist (half
// of them versioned DLLs, half plain files), without an initialisation window.
//
// Build: part of the Windows build (target bench_file_sections).
// Run:   tools/wine-harness setup <build>/win
//        <build>/win/wine-run <build>/win/bench_file_sections.exe [--library] [lines ...]
// --library reads every version resource through the system's version library
// (for comparison with reading them straight from the images).
// Prints the time per section size (best of three runs) and per line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/program_win32.h"
#include "items/files/file_facts.h"
#include "items/files/file_list.h"
#include "log/message_box.h"
#include "script/variable_table.h"

namespace {

// Files are spread over folders of 100 pairs, as a package would be: Wine
// looks a missing name up by reading the whole folder, so creating tens of
// thousands of files in one folder would take the preparation quadratic time.
constexpr int kPairsPerFolder = 100;

std::string Folder(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "d%03d", i / kPairsPerFolder);
    return name;
}

std::string Name(const char* kind, int i) {
    char name[48];
    std::snprintf(name, sizeof name, "%s\\%s%05d.%s", Folder(i).c_str(), kind, i,
                  i % 2 ? "txt" : "dll");
    return name;
}

bool Place(const std::string& master, const std::string& path) {
    return CreateHardLinkA(path.c_str(), master.c_str(), nullptr) ||
           GetLastError() == ERROR_ALREADY_EXISTS ||
           CopyFileA(master.c_str(), path.c_str(), FALSE);
}

void WriteText(const std::string& path, const char* text, int daysAgo) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= static_cast<ULONGLONG>(daysAgo) * 864000000000ULL;
    FILETIME ft{t.LowPart, t.HighPart};
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--library")
            dp::SetVersionLibraryOnly(true);
        else
            sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty()) sizes = {1000, 5000, 20000};
    const int most = *std::max_element(sizes.begin(), sizes.end());

    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    const std::string dir = std::string(temp) + "dp-bench-sections";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string data = dp::ProgramDirectory();
    const std::string newDll = dir + "\\master-new.dll", oldDll = dir + "\\master-old.dll";
    const std::string newText = dir + "\\master-new.txt", oldText = dir + "\\master-old.txt";
    CopyFileA((data + "verdll_1001.dll").c_str(), newDll.c_str(), FALSE);
    CopyFileA((data + "verdll_1000.dll").c_str(), oldDll.c_str(), FALSE);
    WriteText(newText, "new text", 1);
    WriteText(oldText, "old text", 2);

    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // A missing file would ask; answer "finish" so the run fails visibly.
    dp::SetMessageBoxHandler([](const std::string&, const std::string&, unsigned) {
        return dp::kAnswerOk;
    });
    std::printf("preparing %d pairs in %s\n", most, dir.c_str());
    for (int i = 0; i < most; ++i) {
        if (i % kPairsPerFolder == 0) CreateDirectoryA((dir + "\\" + Folder(i)).c_str(), nullptr);
        const bool dll = i % 2 == 0;
        if (!Place(dll ? newDll : newText, dir + "\\" + Name("s", i)) ||
            !Place(dll ? oldDll : oldText, dir + "\\" + Name("t", i))) {
            std::printf("cannot create the files (error %lu)\n", GetLastError());
            return 1;
        }
    }

    double firstPerLine = 0;
    for (int lines : sizes) {
        std::string section;
        for (int i = 0; i < lines; ++i)
            section += dir + "\\" + Name("t", i) + "=" + dir + "\\" + Name("s", i) + ",\r\n";
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            dp::FileList list;
            dp::VariableTable variables;
            LARGE_INTEGER from, to;
            QueryPerformanceCounter(&from);
            const int ok = list.ParseInstallSection(section, 0, 0, 0, 0, variables, dir + "\\");
            QueryPerformanceCounter(&to);
            int updates = 0;
            for (const dp::FileItem& item : list.items) updates += item.needsUpdate;
            if (!ok || list.count() != lines || updates != lines) {
                std::printf("unexpected result: ok %d, items %d, updates %d\n", ok, list.count(),
                            updates);
                return 1;
            }
            best = std::min(best, Seconds(from, to));
        }
        const double perLine = best * 1e6 / lines;
        if (firstPerLine == 0) firstPerLine = perLine;
        std::printf("%6d lines: %8.3f s  %7.1f us/line  (x%.2f per line vs first)\n", lines, best,
                    perLine, perLine / firstPerLine);
    }

    for (int i = 0; i < most; ++i) {
        DeleteFileA((dir + "\\" + Name("s", i)).c_str());
        DeleteFileA((dir + "\\" + Name("t", i)).c_str());
        if ((i + 1) % kPairsPerFolder == 0 || i + 1 == most)
            RemoveDirectoryA((dir + "\\" + Folder(i)).c_str());
    }
    for (const std::string& m : {newDll, oldDll, newText, oldText}) DeleteFileA(m.c_str());
    RemoveDirectoryA(dir.c_str());
    return 0;
}
