#include "items/fonts/font_files.h"

#include <algorithm>

#include "base/text.h"

namespace dp {
namespace {

constexpr std::string_view kTrueTypeExtension = ".ttf";
// More than any "name" table needs (its offsets and lengths are 16-bit).
constexpr uint32_t kLargestNameTable = 1u << 20;

uint32_t Read16(std::string_view bytes, size_t at) {
    return (uint32_t{static_cast<unsigned char>(bytes[at])} << 8) | static_cast<unsigned char>(bytes[at + 1]);
}
uint32_t Read32(std::string_view bytes, size_t at) { return (Read16(bytes, at) << 16) | Read16(bytes, at + 2); }

// Macintosh Roman 0x80-0xFF in Unicode.
constexpr char16_t kMacRomanHigh[128] = {
    0xC4,   0xC5,   0xC7,   0xC9,   0xD1,   0xD6,   0xDC,   0xE1,   0xE0,   0xE2,   0xE4,   0xE3,   0xE5,
    0xE7,   0xE9,   0xE8,   0xEA,   0xEB,   0xED,   0xEC,   0xEE,   0xEF,   0xF1,   0xF3,   0xF2,   0xF4,
    0xF6,   0xF5,   0xFA,   0xF9,   0xFB,   0xFC,   0x2020, 0xB0,   0xA2,   0xA3,   0xA7,   0x2022, 0xB6,
    0xDF,   0xAE,   0xA9,   0x2122, 0xB4,   0xA8,   0x2260, 0xC6,   0xD8,   0x221E, 0xB1,   0x2264, 0x2265,
    0xA5,   0xB5,   0x2202, 0x2211, 0x220F, 0x3C0,  0x222B, 0xAA,   0xBA,   0x3A9,  0xE6,   0xF8,   0xBF,
    0xA1,   0xAC,   0x221A, 0x192,  0x2248, 0x2206, 0xAB,   0xBB,   0x2026, 0xA0,   0xC0,   0xC3,   0xD5,
    0x152,  0x153,  0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0xF7,   0x25CA, 0xFF,   0x178,  0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0xB7,   0x201A, 0x201E, 0x2030, 0xC2,   0xCA,   0xC1,
    0xCB,   0xC8,   0xCD,   0xCE,   0xCF,   0xCC,   0xD3,   0xD4,   0xF8FF, 0xD2,   0xDA,   0xDB,   0xD9,
    0x131,  0x2C6,  0x2DC,  0xAF,   0x2D8,  0x2D9,  0x2DA,  0xB8,   0x2DD,  0x2DB,  0x2C7,
};

constexpr uint32_t kPlatformMac = 1;
constexpr uint32_t kPlatformWindows = 3;
constexpr uint32_t kFullNameId = 4;

// How much a full-name record is worth: 0 unusable, higher is better.
int RecordRank(uint32_t platform, uint32_t encoding, uint32_t language) {
    if (platform == kPlatformWindows && (encoding == 0 || encoding == 1 || encoding == 10))
        return language == 0x409 ? 3 : 2;
    if (platform == kPlatformMac && encoding == 0) return 1;
    return 0;
}

// The record's text up to its first zero character.
std::u16string DecodeRecord(std::string_view text, uint32_t platform) {
    std::u16string name;
    if (platform == kPlatformWindows) {
        for (size_t i = 0; i + 1 < text.size(); i += 2) name += static_cast<char16_t>(Read16(text, i));
    } else {
        for (char c : text) {
            const unsigned char b = static_cast<unsigned char>(c);
            name += b < 0x80 ? static_cast<char16_t>(b) : kMacRomanHigh[b - 0x80];
        }
    }
    const size_t zero = name.find(u'\0');
    if (zero != std::u16string::npos) name.resize(zero);
    return name;
}

bool ReadExactly(const FontFileReader& read, uint64_t offset, uint32_t size, std::string& bytes) {
    return read(offset, size, bytes) && bytes.size() == size;
}

}  // namespace

bool IsTrueTypeName(std::string_view fileName) {
    return fileName.size() >= kTrueTypeExtension.size() &&
           fileName.substr(fileName.size() - kTrueTypeExtension.size()) == kTrueTypeExtension;
}

std::string FontResourcePath(std::string_view tempFolder, std::string_view fontFileName) {
    std::string path(tempFolder);
    path += fontFileName.substr(0, fontFileName.size() - std::min(fontFileName.size(), kTrueTypeExtension.size()));
    path += ".fot";
    return path;
}

std::string FontValueName(std::string_view faceName, bool trueType) {
    std::string name(faceName);
    if (trueType) name += " (TrueType)";
    return name;
}

std::string FontValueData(std::string_view fontPath, std::string_view fileName, std::string_view fontsFolder) {
    const std::string_view folder = fontPath.substr(0, fontPath.size() - std::min(fontPath.size(), fileName.size()));
    return std::string(!fontsFolder.empty() && EqualNoCase(folder, fontsFolder) ? fileName : fontPath);
}

std::u16string FullNameFromNameTable(std::string_view table) {
    if (table.size() < 6) return {};
    const size_t count = Read16(table, 2);
    const size_t storage = Read16(table, 4);
    std::u16string best;
    int bestRank = 0;
    for (size_t i = 0; i < count && 6 + (i + 1) * 12 <= table.size(); ++i) {
        const size_t at = 6 + i * 12;
        if (Read16(table, at + 6) != kFullNameId) continue;
        const uint32_t platform = Read16(table, at);
        const int rank = RecordRank(platform, Read16(table, at + 2), Read16(table, at + 4));
        if (rank <= bestRank) continue;
        const size_t length = Read16(table, at + 8);
        const size_t start = storage + Read16(table, at + 10);
        if (start > table.size() || length > table.size() - start) continue;
        std::u16string name = DecodeRecord(table.substr(start, length), platform);
        if (name.empty()) continue;
        best = std::move(name);
        bestRank = rank;
    }
    return best;
}

std::u16string FontFullName(const FontFileReader& read) {
    std::string bytes;
    if (!ReadExactly(read, 0, 12, bytes)) return {};
    uint64_t base = 0;
    if (bytes.compare(0, 4, "ttcf") == 0) {  // a collection: its first font
        if (!ReadExactly(read, 0, 16, bytes) || Read32(bytes, 8) == 0) return {};
        base = Read32(bytes, 12);
        if (!ReadExactly(read, base, 12, bytes)) return {};
    }
    const uint32_t version = Read32(bytes, 0);
    if (version != 0x00010000 && bytes.compare(0, 4, "true") != 0 && bytes.compare(0, 4, "OTTO") != 0)
        return {};
    const uint32_t tables = Read16(bytes, 4);
    if (!ReadExactly(read, base + 12, tables * 16, bytes)) return {};
    for (uint32_t i = 0; i < tables; ++i) {
        if (bytes.compare(i * 16, 4, "name") != 0) continue;
        const uint32_t offset = Read32(bytes, i * 16 + 8);
        const uint32_t length = std::min(Read32(bytes, i * 16 + 12), kLargestNameTable);
        std::string table;
        if (!read(offset, length, table)) return {};
        return FullNameFromNameTable(table);
    }
    return {};
}

}  // namespace dp
