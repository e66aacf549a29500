// Time to turn a registration file's text into registry entries (empty-line
// removal and parsing, what [InstallRegEntries] does after the file read), for
// files of 5,000 to 100,000 values of every type under keys of 100 values.
// Prints the best of several runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "items/registry/reg_file_text.h"
#include "script/variable_table.h"

namespace {

// About 100 bytes per value line, a key line per 100 values and an empty line
// now and then.
std::string MakeFile(int values) {
    std::string s;
    s.reserve(static_cast<size_t>(values) * 104);
    for (int i = 0; i < values; ++i) {
        const std::string n = std::to_string(i);
        if (i % 100 == 0) s += "\r\n[HKEY_LOCAL_MACHINE\\Software\\Velmora\\Bench\\Key" + n + "]\r\n";
        switch (i % 5) {
            case 0: s += "\"DataFilePath" + n + "\"=\"%APPDIR%\\\\data\\\\file" + n + ".dat with a \\\"quoted\\\" part and a little more text\"\r\n"; break;
            case 1: s += "\"Number of the times the application was started " + n + "\"=dword:0000ff00\r\n"; break;
            case 2: s += "\"BinaryBlobValue" + n + "\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,1a,1b,1c\r\n"; break;
            case 3: s += "\"ExpandableTextValue" + n + "\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,00,00,00\r\n"; break;
            default: s += "\"ListOfStringsValue" + n + "\"=hex(7):61,00,62,00,63,00,00,00,64,00,65,00,66,00,00,00,67,00,68,00,69,00,00,00,00,00\r\n";
        }
    }
    return s;
}

double RunOnce(const std::string& bytes, dp::VariableTable& vars, int expected) {
    const auto start = std::chrono::steady_clock::now();
    std::string text = bytes;
    dp::PrepareRegFileText(text);
    dp::RegEntryList list;
    const int ok = dp::ParseRegFile(list, text, vars);
    const auto end = std::chrono::steady_clock::now();
    if (!ok || list.count() != expected) std::printf("(parse failed: %d, %d entries)\n", ok, list.count());
    return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

int main() {
    dp::VariableTable vars;
    vars.AddEntry("APPDIR", "", "C:\\Program Files\\Velmora Bench");
    std::printf("%10s %12s %10s %16s\n", "values", "bytes", "ms", "ms per MB");
    for (int values : {5000, 50000, 100000}) {
        const std::string bytes = MakeFile(values);
        double best = 1e9;
        for (int run = 0; run < 5; ++run) best = std::min(best, RunOnce(bytes, vars, values));
        std::printf("%10d %12zu %10.2f %16.2f\n", values, bytes.size(), best,
                    best * 1048576.0 / static_cast<double>(bytes.size()));
    }
    return 0;
}
