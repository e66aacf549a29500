// Ways of installing one small file under Wine, per file: what the program
// does today for a missing and for an existing target, against copies that
// open fewer files. Variants run in turns (ABAB...), best round reported.
//   bench_copy_ways.exe [N] [ROUNDS]      (default 1000 files of 4 KiB, 3 rounds)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench_util_win32.h"

namespace {

using dp::bench::Seconds;

struct Variant {
    const char* name;
    std::function<void(const std::string& src, const std::string& dst)> perFile;
    bool freshTargets;
    double best = 1e9;
};

HANDLE OpenRead(const std::string& p) {
    return CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

// The facts as the reading takes them: open, read the head, time, size.
void Facts(const std::string& p, std::vector<char>& head, FILETIME& time) {
    HANDLE h = OpenRead(p);
    head.resize(8192);
    DWORD r = 0, high = 0;
    ReadFile(h, head.data(), 8192, &r, nullptr);
    head.resize(r);
    GetFileTime(h, nullptr, nullptr, &time);
    GetFileSize(h, &high);
    CloseHandle(h);
}

void WriteNew(const std::string& p, const std::vector<char>& bytes, const FILETIME& time, DWORD disposition,
              DWORD access = GENERIC_WRITE) {
    HANDLE out = CreateFileA(p.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD w = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &w, nullptr);
    SetFileTime(out, nullptr, nullptr, &time);
    CloseHandle(out);
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const dp::bench::PayloadTree tree = dp::bench::MakePayloadTree("ways", n, 4096);
    const std::string &root = tree.root, &src = tree.src, &dst = tree.dst;
    const std::vector<std::string>& names = tree.names;

    using SetInfo = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    const auto setInfo = reinterpret_cast<SetInfo>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));

    std::vector<char> head;
    FILETIME time{};
    std::vector<Variant> variants = {
        {"stat src only", [&](auto& s, auto&) {
             WIN32_FILE_ATTRIBUTE_DATA d;
             GetFileAttributesExA(s.c_str(), GetFileExInfoStandard, &d);
         }, false},
        {"facts src only", [&](auto& s, auto&) { Facts(s, head, time); }, false},
        {"SetFileAttributesA NORMAL (existing)", [](auto&, auto& d) { SetFileAttributesA(d.c_str(), FILE_ATTRIBUTE_NORMAL); }, false},
        {"NEW: facts + CopyFileA TRUE", [&](auto& s, auto& d) {
             Facts(s, head, time);
             CopyFileA(s.c_str(), d.c_str(), TRUE);
         }, true},
        {"NEW: facts + CopyFileA + SetAttr", [&](auto& s, auto& d) {
             Facts(s, head, time);
             CopyFileA(s.c_str(), d.c_str(), TRUE);
             SetFileAttributesA(d.c_str(), FILE_ATTRIBUTE_NORMAL);
         }, true},
        {"NEW: CopyFileA TRUE only", [&](auto& s, auto& d) { CopyFileA(s.c_str(), d.c_str(), TRUE); }, true},
        {"NEW: facts + write held bytes", [&](auto& s, auto& d) {
             Facts(s, head, time);
             WriteNew(d, head, time, CREATE_NEW);
         }, true},
        {"NEW: facts + reopen src + write", [&](auto& s, auto& d) {
             Facts(s, head, time);
             Facts(s, head, time);
             WriteNew(d, head, time, CREATE_NEW);
         }, true},
        {"OLD: facts x2 + temp CopyFileA + MoveFileExA", [&](auto& s, auto& d) {
             Facts(d, head, time);
             Facts(s, head, time);
             const std::string t = d.substr(0, d.rfind('\\') + 1) + "~dptest.tmp";
             CopyFileA(s.c_str(), t.c_str(), TRUE);
             MoveFileExA(t.c_str(), d.c_str(), MOVEFILE_REPLACE_EXISTING);
         }, false},
        {"OLD: facts x2 + temp held bytes + MoveFileExA", [&](auto& s, auto& d) {
             Facts(d, head, time);
             Facts(s, head, time);
             const std::string t = d.substr(0, d.rfind('\\') + 1) + "~dptest.tmp";
             WriteNew(t, head, time, CREATE_NEW);
             MoveFileExA(t.c_str(), d.c_str(), MOVEFILE_REPLACE_EXISTING);
         }, false},
        {"OLD: facts x2 + temp held bytes + rename by handle", [&](auto& s, auto& d) {
             Facts(d, head, time);
             Facts(s, head, time);
             const std::string t = d.substr(0, d.rfind('\\') + 1) + "~dptest.tmp";
             HANDLE out = CreateFileA(t.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
             DWORD w = 0;
             WriteFile(out, head.data(), static_cast<DWORD>(head.size()), &w, nullptr);
             SetFileTime(out, nullptr, nullptr, &time);
             std::wstring wide(d.begin(), d.end());
             std::vector<char> info(sizeof(FILE_RENAME_INFO) + wide.size() * 2);
             auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(info.data());
             rename->ReplaceIfExists = TRUE;
             rename->RootDirectory = nullptr;
             rename->FileNameLength = static_cast<DWORD>(wide.size() * 2);
             std::copy(wide.begin(), wide.end(), rename->FileName);
             if (!setInfo || !setInfo(out, FileRenameInfo, info.data(), static_cast<DWORD>(info.size())))
                 std::fprintf(stderr, "rename by handle failed: %lu\n", GetLastError());
             CloseHandle(out);
         }, false},
        {"OLD: facts x2 + in place CopyFileA", [&](auto& s, auto& d) {
             Facts(d, head, time);
             Facts(s, head, time);
             CopyFileA(s.c_str(), d.c_str(), FALSE);
         }, false},
        {"OLD: facts x2 + in place held bytes", [&](auto& s, auto& d) {
             Facts(d, head, time);
             Facts(s, head, time);
             WriteNew(d, head, time, CREATE_ALWAYS);
         }, false},
    };
    for (int round = 0; round < rounds; ++round) {
        for (Variant& v : variants) {
            if (v.freshTargets) dp::bench::FreshTargetFolders(dst, n);
            const double t0 = Seconds();
            for (const std::string& name : names) v.perFile(src + "\\" + name, dst + "\\" + name);
            v.best = std::min(v.best, Seconds() - t0);
        }
    }
    for (const Variant& v : variants) std::printf("%-50s %7.1f us/file\n", v.name, v.best * 1e6 / n);
    dp::bench::RemoveFolder(root);
    return 0;
}
