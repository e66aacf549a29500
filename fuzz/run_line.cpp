// Fuzzes the reading of a program-run line and the quoting of its program.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/text.h"
#include "items/program_runs/program_runs.h"
#include "script/variable_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    dp::RunLine parts;
    const bool ok = dp::SplitRunLine(text, parts);
    if (ok != (text.find('=') != std::string::npos)) std::abort();
    if (ok) {
        if (parts.label.find('=') != std::string::npos || parts.command.find('!') != std::string::npos) std::abort();
        const std::string rest = text.substr(parts.label.size() + 1);
        const size_t bang = rest.find('!');
        if (parts.wait != (bang != std::string::npos && rest.find("OnQueue", bang + 1) != std::string::npos))
            std::abort();
    }

    // Any text as a whole section: no line is lost or cut.
    dp::VariableTable variables;
    dp::RunFileList list;
    if (dp::ParseRunFiles(list, text, 0, variables) == 1 && !text.empty() &&
        static_cast<size_t>(list.count()) != static_cast<size_t>(dp::CountLines(text)))
        std::abort();

    // The program is quoted only as a whole leading part, never changing the rest.
    const std::string line = dp::UnambiguousCommandLine(text, [&](const std::string& path) {
        return path.size() % 3 == 0 || path.ends_with(".exe");
    });
    if (line != text) {
        // '"' + part + ['.exe'] + '"' + rest, where text = part + rest and
        // rest is empty or starts with a blank.
        const size_t added = line.size() - text.size();
        if (line.size() < text.size() || (added != 2 && added != 6) || line[0] != '"') std::abort();
        size_t end = 0;
        while (end < text.size() && line[end + 1] == text[end]) ++end;
        if (end < text.size() && text[end] != ' ' && text[end] != '\t') std::abort();
        if (line.compare(end + 1, added - 1, added == 2 ? "\"" : ".exe\"") != 0) std::abort();
        if (line.compare(end + added, std::string::npos, text, end) != 0) std::abort();
    }
    return 0;
}
