// Native (non-Windows) build only: see CMakeLists.txt.
#include <string>

#include "base/system_text.h"

namespace dp {

std::string LoadMessage(int id) {
    const char* text = BuiltInMessage(id);
    std::string s = text ? text : "";
    if (s.size() > 259) s.resize(259);
    return s;
}

std::string SystemErrorText(uint32_t code) {
    if (code == 0) return "The operation completed successfully.\r\n";
    return "System error " + std::to_string(code) + ".\r\n";
}

std::string ToSystemCodePage(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::u16string FromSystemCodePage(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

// The native stand-in's code page holds ASCII only.
bool ToSystemCodePageExactly(std::u16string_view text, std::string& out) {
    out.clear();
    for (char16_t c : text) {
        if (c >= 0x80) {
            out.clear();
            return false;
        }
        out += static_cast<char>(c);
    }
    return true;
}

bool IsSystemLeadByte(unsigned char) { return false; }

}  // namespace dp
