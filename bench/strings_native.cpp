// Reading a [Strings] section of about 1 MB with 20,000 entries: plain
// defaults, references to earlier entries and to predefined folders, and one
// in ten with a registry reference (the native build has no registry, so
// those fall back to their default), then expanding texts with many
// references.
//
// Build: part of the native build (target bench_strings).
// Run:   <build>/native/bench_strings [entries]
// Prints the best of five runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "script/variable_table.h"

namespace {

std::string Section(int entries) {
    std::string section;
    for (int i = 0; i < entries; ++i) {
        char line[128];
        if (i % 10 == 9)
            std::snprintf(line, sizeof line,
                          "ENTRY_%05d = %%WINDOWS_PATH%%fallback\\%05d,HKCU\\Software\\DeployatorTest\\Dir", i, i);
        else if (i % 2)
            std::snprintf(line, sizeof line, "ENTRY_%05d = %%ENTRY_%05d%%\\sub\\folder_%05d\\files.dat.", i,
                          i - 1, i);
        else
            std::snprintf(line, sizeof line,
                          "ENTRY_%05d = %%TEMP_PATH%%Vendor\\Product\\Component_%05d\\data.bin", i, i);
        section += line;
        section += "\r\n";
    }
    section.resize(section.size() - 2);
    return section;
}

dp::VariableTable Predefined() {
    dp::VariableTable table;
    for (int i = 0; i < dp::kPredefinedCount; ++i)
        table.AddEntry(dp::kPredefinedNames[i], "", "C:\\Folder" + std::to_string(i) + "\\");
    return table;
}

template <typename F>
double BestMs(F&& f) {
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
        auto start = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 20000;
    const std::string section = Section(entries);
    int result = 0;
    double ms = BestMs([&] {
        dp::VariableTable table = Predefined();
        result = table.ParseStringsSection(section);
    });
    std::printf("[Strings] %zu bytes, %d entries: %.1f ms (result %d)\n", section.size(), entries, ms,
                result);

    dp::VariableTable table = Predefined();
    table.ParseStringsSection(section);
    std::string text;
    for (int i = 0; i < entries; ++i) text += "%ENTRY_" + std::string(5 - std::to_string(i).size(), '0') + std::to_string(i) + "%;";
    std::string expanded;
    ms = BestMs([&] {
        expanded = text;
        table.ExpandVariables(expanded, false);
    });
    std::printf("one text of %zu bytes with %d references -> %zu bytes: %.1f ms\n", text.size(), entries,
                expanded.size(), ms);

    std::string tolerant;
    for (int i = 0; i < entries; ++i) tolerant += "%SystemRoot%\\x;%WINDOWS_PATH%";
    ms = BestMs([&] {
        expanded = tolerant;
        table.ExpandVariables(expanded, true);
    });
    std::printf("tolerant text of %zu bytes, %d undefined and %d defined references: %.1f ms\n",
                tolerant.size(), entries, entries, ms);
    return 0;
}
