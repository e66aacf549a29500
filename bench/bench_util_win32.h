#pragma once
// Helpers shared by the Win32 benchmarks: a wall clock and folder removal.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace dp::bench {

// Seconds on the performance counter (only differences mean anything).
inline double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Deletes dir with everything below it; what cannot be deleted stays.
inline void RemoveFolder(const std::string& dir) {
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

// Writes n files of the given size below src, in folders d0, d1, ... of 100
// files each (the first byte differs from file to file); returns their names
// relative to src ("d0\\f0.dat", ...).
inline std::vector<std::string> WritePayload(const std::string& src, int n, size_t bytes) {
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
    return names;
}

// Empties dst and creates in it the folders WritePayload made for n files.
inline void FreshTargetFolders(const std::string& dst, int n) {
    RemoveFolder(dst);
    CreateDirectoryA(dst.c_str(), nullptr);
    for (int i = 0; i < n; i += 100) CreateDirectoryA((dst + "\\d" + std::to_string(i / 100)).c_str(), nullptr);
}

// A scratch tree in the temporary folder: src holds n payload files of the
// given size (names relative to src), dst the empty target folders.
struct PayloadTree {
    std::string root, src, dst;
    std::vector<std::string> names;
};
inline PayloadTree MakePayloadTree(const char* tag, int n, size_t bytes) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    PayloadTree t;
    t.root = std::string(temp) + "dp_bench_" + tag + "_" + std::to_string(GetCurrentProcessId());
    t.src = t.root + "\\src";
    t.dst = t.root + "\\dst";
    CreateDirectoryA(t.root.c_str(), nullptr);
    CreateDirectoryA(t.src.c_str(), nullptr);
    t.names = WritePayload(t.src, n, bytes);
    FreshTargetFolders(t.dst, n);
    return t;
}

}  // namespace dp::bench
