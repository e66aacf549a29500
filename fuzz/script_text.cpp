// The script text pipeline: load, comments, empty lines, the 24 sections.
// Small inputs are also checked against the removals done the slow way.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "script/script_text.h"

namespace {

std::string SlowRemoveComments(std::string text) {
    for (;;) {
        size_t semi = text.find(';');
        if (semi == std::string::npos) return text;
        size_t lf = text.find('\n', semi);
        text = text.substr(0, semi) + (lf == std::string::npos ? "" : text.substr(lf + 1));
    }
}

std::string SlowRemoveEmptyLines(std::string text) {
    for (size_t at; (at = text.find("\r\n\r\n")) != std::string::npos;) text.replace(at, 4, "\r\n");
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = dp::ScriptTextFromBytes(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (text.find('\0') != std::string::npos) std::abort();

    std::string slow = size <= 512 ? SlowRemoveComments(text) : std::string();
    dp::RemoveComments(text);
    if (text.find(';') != std::string::npos) std::abort();
    if (size <= 512 && text != slow) std::abort();

    slow = size <= 512 ? SlowRemoveEmptyLines(text) : std::string();
    dp::RemoveEmptyLines(text);
    if (text.find("\r\n\r\n") != std::string::npos) std::abort();
    if (size <= 512 && text != slow) std::abort();

    std::string section;
    for (const char* header : {"[Parameters]", "[Strings]", "[InstallFiles]", "[InstallRegEntries]", "[RunFileEnd]"}) {
        bool found = dp::FindSectionText(text, header, section);
        if (section.size() > text.size()) std::abort();
        if (!found && !section.empty()) std::abort();
    }
    return 0;
}
