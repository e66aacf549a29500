// Fuzzes the JSON strings of reports: whatever the bytes, the result is ASCII,
// one string literal that a JSON reader takes back as exactly the characters
// the code page reader gave.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/report_format.h"

namespace {

// A double-byte code page in miniature: 0x81-0x9F start a character of two
// bytes; the first input byte choosing this reader also makes it fail on
// texts that end in a lead byte (the formatter then reads them as Latin-1).
std::u16string DoubleByte(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x81 && byte <= 0x9F) {
            if (i + 1 == text.size()) return {};
            out += static_cast<char16_t>(byte << 8 | static_cast<unsigned char>(text[++i]));
        } else {
            out += static_cast<char16_t>(byte);
        }
    }
    return out;
}

std::u16string Latin1(std::string_view text) {
    std::u16string out;
    for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A JSON string literal read back strictly; aborts on anything JSON forbids.
std::u16string ReadJsonString(const std::string& json) {
    if (json.size() < 2 || json.front() != '"' || json.back() != '"') std::abort();
    std::u16string out;
    for (size_t i = 1; i + 1 < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        if (c >= 0x80 || c < 0x20 || c == '"') std::abort();
        if (c != '\\') {
            out += static_cast<char16_t>(c);
            continue;
        }
        if (++i + 1 >= json.size()) std::abort();
        switch (json[i]) {
        case '"': out += u'"'; break;
        case '\\': out += u'\\'; break;
        case '/': out += u'/'; break;
        case 'b': out += u'\b'; break;
        case 'f': out += u'\f'; break;
        case 'n': out += u'\n'; break;
        case 'r': out += u'\r'; break;
        case 't': out += u'\t'; break;
        case 'u': {
            if (i + 5 >= json.size()) std::abort();
            int unit = 0;
            for (int k = 1; k <= 4; ++k) {
                const int digit = HexValue(json[i + k]);
                if (digit < 0) std::abort();
                unit = unit << 4 | digit;
            }
            out += static_cast<char16_t>(unit);
            i += 4;
            break;
        }
        default: std::abort();
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool doubleByte = data[0] & 1;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const dp::CodePageReader reader = doubleByte ? DoubleByte : Latin1;
    const std::string json = dp::JsonString(text, reader);
    std::u16string expected = reader(text);
    if (expected.empty()) expected = Latin1(text);
    if (ReadJsonString(json) != expected) std::abort();
    // A whole report of that field is an array of one object with it.
    const std::string rows = dp::FormatJsonRows({"a"}, {{std::string(text)}}, reader);
    if (rows != "[\n{\"a\":" + json + "}\n]\n") std::abort();
    return 0;
}
