// Time to turn a script's bytes into its 24 sections: load, remove comments
// and empty lines, cut every section. Prints the best of several runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "script/script_text.h"

namespace {

// A dozen of the script's headers: enough sections to cut out.
const char* const kHeaders[] = {"[Parameters]",    "[Strings]",          "[InstallFiles]",     "[InstallRegEntries]",
                                "[RunFileFirst]",  "[DeleteFilesFirst]", "[InstallFonts]",     "[AlwaysInstallFiles]",
                                "[InstallShortcuts]", "[CreateDirectory]", "[DeleteFilesEnd]", "[RunFileEnd]"};
constexpr int kHeaderCount = static_cast<int>(sizeof kHeaders / sizeof kHeaders[0]);

// A script of about `lines` lines spread over all sections, with comments,
// empty lines and registry key lines.
std::string MakeScript(int lines) {
    std::string s;
    s.reserve(static_cast<size_t>(lines) * 48);
    int perSection = std::max(1, lines / kHeaderCount);
    int written = 0;
    for (int section = 0; written < lines; section = (section + 1) % kHeaderCount) {
        s += kHeaders[section];
        s += "\r\n";
        ++written;
        for (int i = 0; i < perSection && written < lines; ++i, ++written) {
            switch (i % 8) {
                case 0: s += "; a comment line that goes away entirely\r\n"; break;
                case 1: s += "\r\n"; break;
                case 2: s += "[HKEY_LOCAL_MACHINE\\Software\\Velmora\\Key" + std::to_string(i) + "]\r\n"; break;
                case 3: s += "%SYS%\\lib" + std::to_string(i) + ".dll = pkg\\lib.dll ; trailing remark\r\n"; break;
                default: s += "%PROGRAMFILES%\\Velmora\\file" + std::to_string(i) + ".dat = file.dat\r\n";
            }
        }
    }
    return s;
}

double RunOnce(const std::string& bytes) {
    auto start = std::chrono::steady_clock::now();
    std::string text = dp::ScriptTextFromBytes(bytes);
    dp::RemoveComments(text);
    dp::RemoveEmptyLines(text);
    std::string section;
    size_t total = 0;
    for (const char* header : kHeaders) {
        dp::FindSectionText(text, header, section);
        total += section.size();
    }
    auto end = std::chrono::steady_clock::now();
    if (total == 0) std::puts("(no section text)");
    return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

int main() {
    std::printf("%10s %12s %10s %14s\n", "lines", "bytes", "ms", "ms/10k lines");
    for (int lines : {10000, 50000, 200000}) {
        std::string bytes = MakeScript(lines);
        double best = 1e9;
        for (int run = 0; run < 7; ++run) best = std::min(best, RunOnce(bytes));
        std::printf("%10d %12zu %10.2f %14.3f\n", lines, bytes.size(), best,
                    best * 10000.0 / lines);
    }
    return 0;
}
