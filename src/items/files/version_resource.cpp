#include "items/files/version_resource.h"

#include <cstdio>

namespace dp {
namespace {

constexpr uint32_t kVersionType = 16;  // RT_VERSION
constexpr uint32_t kVersionName = 1;   // VS_VERSION_INFO
constexpr uint32_t kSubdirectory = 0x80000000u;
constexpr size_t kMaxSections = 96;
constexpr size_t kMaxDirectoryEntries = 4096;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

bool ReadU16(ByteReader& file, uint64_t offset, uint16_t& value) {
    uint8_t b[2];
    if (!file.Read(offset, b, sizeof b)) return false;
    value = U16(b);
    return true;
}

bool ReadU32(ByteReader& file, uint64_t offset, uint32_t& value) {
    uint8_t b[4];
    if (!file.Read(offset, b, sizeof b)) return false;
    value = U32(b);
    return true;
}

struct Section {
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
};

// File offset of an address, as a data-file mapping of the image finds it.
bool RvaToOffset(const std::vector<Section>& sections, uint32_t rva, uint64_t& offset) {
    for (const Section& s : sections) {
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize) {
            offset = uint64_t{s.rawOffset} + (rva - s.virtualAddress);
            return true;
        }
    }
    return false;
}

struct DirectoryEntry {
    uint32_t name;
    uint32_t data;
};

bool ReadDirectory(ByteReader& file, uint64_t root, uint32_t at, std::vector<DirectoryEntry>& named,
                   std::vector<DirectoryEntry>& ids) {
    uint8_t header[16];
    if (!file.Read(root + at, header, sizeof header)) return false;
    const size_t namedCount = U16(header + 12), idCount = U16(header + 14);
    if (namedCount + idCount > kMaxDirectoryEntries) return false;
    std::vector<uint8_t> raw((namedCount + idCount) * 8);
    if (!raw.empty() && !file.Read(root + at + 16, raw.data(), raw.size())) return false;
    named.clear();
    ids.clear();
    for (size_t i = 0; i < namedCount + idCount; ++i) {
        const DirectoryEntry e{U32(&raw[i * 8]), U32(&raw[i * 8 + 4])};
        (i < namedCount ? named : ids).push_back(e);
    }
    return true;
}

// Whether a named entry's name is "MUI" (any case).
bool IsMuiName(ByteReader& file, uint64_t root, uint32_t name, bool& readable) {
    uint16_t length = 0;
    readable = ReadU16(file, root + (name & ~kSubdirectory), length);
    if (!readable || length != 3) return false;
    uint8_t chars[6];
    readable = file.Read(root + (name & ~kSubdirectory) + 2, chars, sizeof chars);
    if (!readable) return false;
    const char* mui = "MUI";
    for (int i = 0; i < 3; ++i) {
        uint16_t c = U16(chars + 2 * i);
        if (c >= 'a' && c <= 'z') c = static_cast<uint16_t>(c - 'a' + 'A');
        if (c != static_cast<uint16_t>(mui[i])) return false;
    }
    return true;
}

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

// One node of a version block: its bounds, key and value.
struct Node {
    size_t begin = 0, end = 0;
    size_t keyBegin = 0, keyLength = 0;  // in characters
    size_t valueOffset = 0, valueLength = 0;
    size_t childrenBegin = 0;
};

bool ReadNode(const std::vector<uint8_t>& block, size_t at, size_t limit, Node& node) {
    if (at + 6 > limit) return false;
    const size_t length = U16(&block[at]);
    if (length < 6) return false;
    node.begin = at;
    node.end = at + length < limit ? at + length : limit;
    node.valueLength = U16(&block[at + 2]);
    const bool text = U16(&block[at + 4]) != 0;
    node.keyBegin = at + 6;
    size_t p = node.keyBegin;
    while (p + 2 <= node.end && U16(&block[p]) != 0) p += 2;
    if (p + 2 > node.end) return false;  // key without terminator
    node.keyLength = (p - node.keyBegin) / 2;
    node.valueOffset = Align4(p + 2);
    node.childrenBegin = Align4(node.valueOffset + node.valueLength * (text ? 2 : 1));
    return true;
}

bool KeyMatches(const std::vector<uint8_t>& block, const Node& node, const std::string& key) {
    if (node.keyLength != key.size()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        const char16_t c = U16(&block[node.keyBegin + 2 * i]);
        if (AsciiUpper(c) != AsciiUpper(static_cast<char16_t>(static_cast<unsigned char>(key[i]))))
            return false;
    }
    return true;
}

bool FindChild(const std::vector<uint8_t>& block, const Node& parent, const std::string& key,
               Node& child) {
    size_t at = parent.childrenBegin;
    while (at < parent.end) {
        if (!ReadNode(block, at, parent.end, child)) return false;
        if (KeyMatches(block, child, key)) return true;
        at = child.begin + Align4(U16(&block[child.begin]));
    }
    return false;
}

// Whether every node below this one is well formed, so that a query never
// meets a damaged node (such blocks are left to the system library).
bool IsWellFormed(const std::vector<uint8_t>& block, const Node& node, int depth) {
    if (depth > 8) return false;
    size_t at = node.childrenBegin;
    while (at < node.end) {
        Node child;
        if (at + 2 > node.end || at + U16(&block[at]) > node.end ||
            !ReadNode(block, at, node.end, child) || !IsWellFormed(block, child, depth + 1))
            return false;
        at = child.begin + Align4(U16(&block[child.begin]));
    }
    return true;
}

}  // namespace

VersionLookup FindImageVersionResource(ByteReader& file, std::vector<uint8_t>& block) {
    block.clear();
    uint16_t magic = 0;
    uint32_t headerAt = 0;
    if (!ReadU16(file, 0, magic) || magic != 0x5a4d /* "MZ" */) return VersionLookup::undecided;
    if (!ReadU32(file, 0x3c, headerAt)) return VersionLookup::undecided;
    uint8_t header[24];
    if (!file.Read(headerAt, header, sizeof header) || U32(header) != 0x00004550 /* "PE\0\0" */)
        return VersionLookup::undecided;
    const size_t sectionCount = U16(header + 6);
    const size_t optionalSize = U16(header + 20);
    if (sectionCount > kMaxSections) return VersionLookup::undecided;
    const uint64_t optionalAt = uint64_t{headerAt} + 24;

    uint16_t optionalMagic = 0;
    if (optionalSize < 2 || !ReadU16(file, optionalAt, optionalMagic))
        return VersionLookup::undecided;
    size_t countAt, directoriesAt;
    if (optionalMagic == 0x10b) {
        countAt = 92;
        directoriesAt = 96;
    } else if (optionalMagic == 0x20b) {
        countAt = 108;
        directoriesAt = 112;
    } else {
        return VersionLookup::undecided;
    }
    if (optionalSize < directoriesAt) return VersionLookup::undecided;
    uint32_t directoryCount = 0;
    if (!ReadU32(file, optionalAt + countAt, directoryCount)) return VersionLookup::undecided;
    if (directoryCount <= 2) return VersionLookup::none;
    if (optionalSize < directoriesAt + 3 * 8) return VersionLookup::undecided;
    uint32_t resourceRva = 0, resourceSize = 0;
    if (!ReadU32(file, optionalAt + directoriesAt + 16, resourceRva) ||
        !ReadU32(file, optionalAt + directoriesAt + 20, resourceSize))
        return VersionLookup::undecided;
    if (resourceRva == 0 || resourceSize == 0) return VersionLookup::none;

    std::vector<Section> sections;
    std::vector<uint8_t> table(sectionCount * 40);
    if (!table.empty() && !file.Read(optionalAt + optionalSize, table.data(), table.size()))
        return VersionLookup::undecided;
    for (size_t i = 0; i < sectionCount; ++i) {
        const uint8_t* s = &table[i * 40];
        sections.push_back({U32(s + 12), U32(s + 16), U32(s + 20)});
    }
    uint64_t root = 0;
    if (!RvaToOffset(sections, resourceRva, root)) return VersionLookup::undecided;

    std::vector<DirectoryEntry> named, ids;
    if (!ReadDirectory(file, root, 0, named, ids)) return VersionLookup::undecided;
    for (const DirectoryEntry& e : named) {
        bool readable = false;
        if (IsMuiName(file, root, e.name, readable) || !readable) return VersionLookup::undecided;
    }
    const DirectoryEntry* type = nullptr;
    for (const DirectoryEntry& e : ids)
        if (e.name == kVersionType) type = &e;
    if (!type) return VersionLookup::none;
    if (!(type->data & kSubdirectory)) return VersionLookup::undecided;

    const uint32_t typeAt = type->data & ~kSubdirectory;
    if (!ReadDirectory(file, root, typeAt, named, ids) || !named.empty() || ids.size() != 1 ||
        ids[0].name != kVersionName || !(ids[0].data & kSubdirectory))
        return VersionLookup::undecided;
    const uint32_t nameAt = ids[0].data & ~kSubdirectory;
    if (!ReadDirectory(file, root, nameAt, named, ids) || named.size() + ids.size() != 1)
        return VersionLookup::undecided;
    const DirectoryEntry language = named.empty() ? ids[0] : named[0];
    if (language.data & kSubdirectory) return VersionLookup::undecided;

    uint32_t dataRva = 0, dataSize = 0;
    if (!ReadU32(file, root + language.data, dataRva) ||
        !ReadU32(file, root + language.data + 4, dataSize))
        return VersionLookup::undecided;
    uint64_t dataAt = 0;
    if (dataSize < 6 || dataSize > 0xffff || !RvaToOffset(sections, dataRva, dataAt))
        return VersionLookup::undecided;
    block.resize(dataSize);
    if (!file.Read(dataAt, block.data(), block.size())) {
        block.clear();
        return VersionLookup::undecided;
    }
    // A 32-bit version block: its length within the data, and its key.
    Node rootNode;
    const size_t length = U16(&block[0]);
    static const std::string kRootKey = "VS_VERSION_INFO";
    if (length > block.size() || !ReadNode(block, 0, length, rootNode) ||
        !KeyMatches(block, rootNode, kRootKey) || !IsWellFormed(block, rootNode, 0)) {
        block.clear();
        return VersionLookup::undecided;
    }
    block.resize(length);
    return VersionLookup::found;
}

bool QueryVersionValue(const std::vector<uint8_t>& block, const std::string& path,
                       VersionValue& value) {
    Node node;
    if (!ReadNode(block, 0, block.size(), node)) return false;
    size_t at = 0;
    while (at < path.size()) {
        const size_t slash = path.find('\\', at);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > at) {
            Node child;
            if (!FindChild(block, node, path.substr(at, end - at), child)) return false;
            node = child;
        }
        at = end + 1;
    }
    value.offset = node.valueOffset;
    value.length = node.valueLength;
    value.end = node.end;
    return true;
}

std::u16string VersionText(const std::vector<uint8_t>& block, const VersionValue& value) {
    std::u16string text;
    const size_t end = value.end < block.size() ? value.end : block.size();
    for (size_t p = value.offset; p + 2 <= end && text.size() < value.length; p += 2) {
        const char16_t c = U16(&block[p]);
        if (c == 0) break;
        text.push_back(c);
    }
    return text;
}

VersionFacts ReadVersionFacts(const std::vector<uint8_t>& block) {
    VersionFacts facts;
    VersionValue translation;
    if (!QueryVersionValue(block, "\\VarFileInfo\\Translation", translation)) return facts;
    facts.hasTranslation = true;
    const size_t pairs = translation.length / 4;
    for (size_t i = 0; i < pairs; ++i) {
        const size_t at = translation.offset + 4 * i;
        if (at + 4 > block.size()) break;
        char key[64];
        std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\FileVersion",
                      unsigned{U16(&block[at])}, unsigned{U16(&block[at + 2])});
        VersionValue text;
        if (QueryVersionValue(block, key, text)) facts.fileVersion = VersionText(block, text);
    }
    VersionValue fixed;
    if (QueryVersionValue(block, "\\", fixed) && fixed.length >= 52 &&
        fixed.offset + 16 <= block.size()) {
        facts.hasFixed = true;
        facts.versionMS = U32(&block[fixed.offset + 8]);
        facts.versionLS = U32(&block[fixed.offset + 12]);
    }
    return facts;
}

}  // namespace dp
