#include <windows.h>

#include <climits>

#include "base/program_win32.h"
#include "base/system_text.h"

namespace dp {

std::string LoadMessage(int id) {
    char buf[260] = {};
    int n = LoadStringA(ProgramInstance(), static_cast<UINT>(id), buf, sizeof buf);
    if (n <= 0) {
        // A module without the string table (a test program): the same texts,
        // compiled in.
        const char* text = BuiltInMessage(id);
        std::string s = text ? text : "";
        if (s.size() > 259) s.resize(259);
        return s;
    }
    return std::string(buf, static_cast<size_t>(n));
}

std::string SystemErrorText(uint32_t code) {
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0x400, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s;
    if (n && text) s.assign(text, n);
    if (text) LocalFree(text);
    return s;
}

std::string ToSystemCodePage(std::u16string_view text) {
    if (text.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int wideLength = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, wideLength, out.data(), n, nullptr, nullptr);
    return out;
}

std::u16string FromSystemCodePage(std::string_view text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return {};
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (n <= 0) return {};
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

bool ToSystemCodePageExactly(std::u16string_view text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    if (text.size() > 0x7fffffff) return false;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int wideLength = static_cast<int>(text.size());
    // A UTF-8 code page holds every character (and takes neither the flag nor
    // the question).
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* asked = utf8 ? nullptr : &defaulted;
    const int n = WideCharToMultiByte(CP_ACP, flags, wide, wideLength, nullptr, 0, nullptr, asked);
    if (n <= 0 || defaulted) return false;
    out.resize(static_cast<size_t>(n));
    if (WideCharToMultiByte(CP_ACP, flags, wide, wideLength, out.data(), n, nullptr, asked) != n || defaulted) {
        out.clear();
        return false;
    }
    return true;
}

bool IsSystemLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != 0; }

}  // namespace dp
