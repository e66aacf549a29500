// The script text pipeline: load, comments, empty lines, the 24 sections.
// Small inputs are also checked against the removals done the slow way.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/file_text.h"
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
    // Bytes without a byte-order mark are the text; a failed decoding leaves none.
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string decoded;
    const dp::FileTextError error = dp::TextFromFileBytes(bytes, decoded);
    const bool marked =
        bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
    if (error != dp::FileTextError::kNone && !decoded.empty()) std::abort();
    if (!marked && (error != dp::FileTextError::kNone || decoded != bytes)) std::abort();

    std::string text = dp::ScriptTextFromBytes(bytes);
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
