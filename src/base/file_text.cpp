#include "base/file_text.h"

#include "base/system_text.h"

namespace dp {
namespace {

bool StartsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// UTF-16 code units from bytes in the given order; false for an odd count
// or a surrogate without its partner.
bool Utf16FromBytes(std::string_view bytes, bool bigEndian, std::u16string& out) {
    if (bytes.size() % 2 != 0) return false;
    out.resize(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        out[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    for (size_t i = 0; i < out.size(); ++i) {
        if (IsHighSurrogate(out[i]) && i + 1 < out.size() && IsLowSurrogate(out[i + 1]))
            ++i;
        else if (IsHighSurrogate(out[i]) || IsLowSurrogate(out[i]))
            return false;
    }
    return true;
}

}  // namespace

bool Utf8ToUtf16(std::string_view utf8, std::u16string& out) {
    out.clear();
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        // The sequence's length, the lead byte's bits and the least value
        // that needs this length (anything below is an overlong form).
        size_t length = 0;
        uint32_t value = 0;
        uint32_t least = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            value = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            value = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            value = lead & 0x07;
            least = 0x10000;
        } else {
            return false;
        }
        if (utf8.size() - i < length) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            value = (value << 6) | (next & 0x3F);
        }
        if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        if (value >= 0x10000) {
            value -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(value));
        }
        i += length;
    }
    return true;
}

FileTextError TextFromFileBytes(std::string_view bytes, std::string& text) {
    text.clear();
    std::u16string wide;
    bool decoded;
    if (StartsWith(bytes, "\xEF\xBB\xBF"))
        decoded = Utf8ToUtf16(bytes.substr(3), wide);
    else if (StartsWith(bytes, "\xFF\xFE"))
        decoded = Utf16FromBytes(bytes.substr(2), false, wide);
    else if (StartsWith(bytes, "\xFE\xFF"))
        decoded = Utf16FromBytes(bytes.substr(2), true, wide);
    else {
        text.assign(bytes);
        return FileTextError::kNone;
    }
    if (!decoded) return FileTextError::kBadUnicode;
    if (!ToSystemCodePageExactly(wide, text)) {
        text.clear();
        return FileTextError::kNotInCodePage;
    }
    return FileTextError::kNone;
}

}  // namespace dp
