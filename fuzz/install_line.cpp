// Fuzzes the splitting, trimming and completion of an install-section line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "items/files/update_rule.h"
#include "script/script_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    dp::InstallLine parts;
    const bool ok = dp::SplitInstallLine(line, parts);
    if (ok != (line.find('=') != std::string::npos)) std::abort();
    if (!ok) return 0;
    // Only the first "=" and the first "," after it split: the target holds no
    // "=", the source no ",", and the parts give back the line.
    if (parts.target.find('=') != std::string::npos) std::abort();
    if (parts.source.find(',') != std::string::npos) std::abort();
    std::string rebuilt = parts.target + "=" + parts.source;
    if (line.find(',', parts.target.size() + 1) != std::string::npos) rebuilt += "," + parts.options;
    if (rebuilt != line) std::abort();
    if (parts.always != (parts.options.find("Always") != std::string::npos)) std::abort();

    std::string target = parts.target;
    dp::VariableTrim(target);
    if (!target.empty()) {
        const char first = target.front(), last = target.back();
        if (first == ' ' || first == '\r' || first == '\n') std::abort();
        if (last == ' ' || last == '\r' || last == '\n') std::abort();
    }
    const std::string full = dp::CompleteFilePath(target, "C:\\prog\\");
    if (full.find('\\') == std::string::npos) std::abort();
    const std::string name = dp::FileNamePart(full);
    if (name.find('\\') != std::string::npos || full.size() < name.size()) std::abort();
    if (full.compare(full.size() - name.size(), name.size(), name) != 0) std::abort();
    return 0;
}
