// What the single Win32 calls of reading facts and copying files cost under
// Wine, per file, for small files in folders of 100: the variants are run in
// turns (ABAB...) so that a change of load on a shared machine hits all alike.
//   bench_file_calls.exe [N] [ROUNDS] [DLL]  (default 1000 files of 4 KiB, 3 rounds)
// With DLL (a versioned image), the facts of N copies of it are read as well.
// Prints the best round of each variant in microseconds per file.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench_util_win32.h"
#include "base/file_system_win32.h"
#include "items/files/file_facts.h"

namespace {

using dp::bench::Seconds;
using dp::bench::RemoveFolder;

struct Variant {
    const char* name;
    std::function<void(const std::string& src, const std::string& dst)> perFile;
    bool freshTargets;  // the target folder is emptied before each round
    double best = 1e9;
};

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const dp::bench::PayloadTree tree = dp::bench::MakePayloadTree("calls", n, 4096);
    const std::string &root = tree.root, &src = tree.src, &dst = tree.dst;
    const std::vector<std::string>& names = tree.names;
    auto freshTargets = [&] { dp::bench::FreshTargetFolders(dst, n); };

    auto open = [](const std::string& p) {
        return CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    std::vector<Variant> variants = {
        {"GetFileAttributesA", [](auto& s, auto&) { GetFileAttributesA(s.c_str()); }, false},
        {"MakeSystemPath (the path policy)", [](auto& s, auto&) { dp::MakeSystemPath(s); }, false},
        {"PathExists (policy + GetFileAttributesW)", [](auto& s, auto&) { dp::PathExists(s); }, false},
        {"GetFileAttributesExA", [](auto& s, auto&) {
             WIN32_FILE_ATTRIBUTE_DATA d;
             GetFileAttributesExA(s.c_str(), GetFileExInfoStandard, &d);
         }, false},
        {"FindFirstFileA (folder)", [](auto& s, auto&) {
             WIN32_FIND_DATAA f;
             HANDLE h = FindFirstFileA(s.substr(0, s.rfind('\\')).c_str(), &f);
             if (h != INVALID_HANDLE_VALUE) FindClose(h);
         }, false},
        {"GetFileAttributesA (missing name)", [](auto&, auto& d) { GetFileAttributesA((d + "x").c_str()); }, false},
        {"GetFileAttributesA (missing folder)", [](auto&, auto& d) { GetFileAttributesA((d + "x\\y").c_str()); }, false},
        {"CREATE_NEW+close+delete (tmp name)", [](auto&, auto& d) {
             const std::string t = d + ".new";
             CloseHandle(CreateFileA(t.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
             DeleteFileA(t.c_str());
         }, false},
        {"CreateFileA+CloseHandle", [&](auto& s, auto&) { CloseHandle(open(s)); }, false},
        {"open+Read2+Time+Size+close", [&](auto& s, auto&) {
             HANDLE h = open(s);
             char b[2];
             DWORD r, high;
             FILETIME t;
             ReadFile(h, b, 2, &r, nullptr);
             SetFilePointer(h, 0, nullptr, FILE_BEGIN);
             GetFileTime(h, nullptr, nullptr, &t);
             GetFileSize(h, &high);
             CloseHandle(h);
         }, false},
        {"open+Read4K+Time+Size+close", [&](auto& s, auto&) {
             HANDLE h = open(s);
             char b[4096];
             DWORD r, high;
             FILETIME t;
             ReadFile(h, b, sizeof b, &r, nullptr);
             GetFileTime(h, nullptr, nullptr, &t);
             GetFileSize(h, &high);
             CloseHandle(h);
         }, false},
        {"open+Read4K+InfoByHandle+close", [&](auto& s, auto&) {
             HANDLE h = open(s);
             char b[4096];
             DWORD r;
             BY_HANDLE_FILE_INFORMATION info;
             ReadFile(h, b, sizeof b, &r, nullptr);
             GetFileInformationByHandle(h, &info);
             CloseHandle(h);
         }, false},
        {"CopyFileA FALSE (new)", [](auto& s, auto& d) { CopyFileA(s.c_str(), d.c_str(), FALSE); }, true},
        {"CopyFileA TRUE (new)", [](auto& s, auto& d) { CopyFileA(s.c_str(), d.c_str(), TRUE); }, true},
        {"CopyFileA FALSE (existing)", [](auto& s, auto& d) { CopyFileA(s.c_str(), d.c_str(), FALSE); }, false},
        {"temp copy+MoveFileExA (existing)", [](auto& s, auto& d) {
             const std::string t = d.substr(0, d.rfind('\\') + 1) + "~dptest.tmp";
             CopyFileA(s.c_str(), t.c_str(), TRUE);
             MoveFileExA(t.c_str(), d.c_str(), MOVEFILE_REPLACE_EXISTING);
         }, false},
        {"own copy CREATE_NEW (new)", [&](auto& s, auto& d) {
             HANDLE in = open(s);
             BY_HANDLE_FILE_INFORMATION info;
             GetFileInformationByHandle(in, &info);
             HANDLE out = CreateFileA(d.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, info.dwFileAttributes, nullptr);
             char b[65536];
             DWORD r, w;
             while (ReadFile(in, b, sizeof b, &r, nullptr) && r) WriteFile(out, b, r, &w, nullptr);
             SetFileTime(out, nullptr, nullptr, &info.ftLastWriteTime);
             CloseHandle(out);
             CloseHandle(in);
         }, true},
    };
    auto facts = [](const std::string& path) {
        dp::FileFacts f;
        dp::FileFactTexts t;
        std::string error;
        dp::ReadFileFacts(path, f, t, error);
    };
    variants.push_back({"ReadFileFacts (data file)", [&](auto& s, auto&) { facts(s); }, false});
    if (argc > 3) {
        for (const std::string& name : names) CopyFileA(argv[3], (src + "\\" + name + ".dll").c_str(), FALSE);
        variants.push_back({"open+Read8K+close (DLL)", [&](auto& s, auto&) {
                                HANDLE h = open(s + ".dll");
                                char b[8192];
                                DWORD r;
                                ReadFile(h, b, sizeof b, &r, nullptr);
                                CloseHandle(h);
                            }, false});
        variants.push_back({"ReadFileFacts (DLL)", [&](auto& s, auto&) { facts(s + ".dll"); }, false});
    }
    for (int round = 0; round < rounds; ++round) {
        for (Variant& v : variants) {
            if (v.freshTargets) freshTargets();
            const double t0 = Seconds();
            for (const std::string& name : names) v.perFile(src + "\\" + name, dst + "\\" + name);
            v.best = std::min(v.best, Seconds() - t0);
        }
    }
    for (const Variant& v : variants) std::printf("%-34s %7.1f us/file\n", v.name, v.best * 1e6 / n);
    RemoveFolder(root);
    return 0;
}
