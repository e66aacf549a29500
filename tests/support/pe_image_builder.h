#pragma once
// Builds small 32-bit images in memory, with a resource section holding
// version blocks, for the tests and the fuzz target of the version reader.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "items/files/version_resource.h"

namespace dp::pe_test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}
inline void Pad4(Bytes& b) { b.resize((b.size() + 3) / 4 * 4); }
inline void AppendText(Bytes& b, const std::u16string& text) {
    for (char16_t c : text + u'\0') b.insert(b.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
}

// One node of a 32-bit version block.
inline Bytes VNode(const std::u16string& key, const Bytes& value, uint16_t valueLength, uint16_t type,
            const std::vector<Bytes>& children = {}) {
    Bytes b(6);
    AppendText(b, key);
    Pad4(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& c : children) {
        Pad4(b);
        b.insert(b.end(), c.begin(), c.end());
    }
    Put16(b, 0, static_cast<uint32_t>(b.size()));
    Put16(b, 2, valueLength);
    Put16(b, 4, type);
    return b;
}
// A 32-bit image with one resource section holding the given version blocks
// (one language entry each), and options for the cases that are not plain.
struct ImageOptions {
    bool withResources = true;
    bool withVersionType = true;
    bool muiType = false;
    uint32_t versionName = 1;
    uint16_t directoryCount = 16;
};
inline Bytes Image(const std::vector<Bytes>& blocks, const ImageOptions& o = {}) {
    Bytes img(0x200, 0);
    img[0] = 'M';
    img[1] = 'Z';
    Put32(img, 0x3c, 0x40);
    img[0x40] = 'P';
    img[0x41] = 'E';
    Put16(img, 0x44, 0x14c);
    Put16(img, 0x46, 1);    // sections
    Put16(img, 0x54, 224);  // optional header size
    const size_t opt = 0x58;
    Put16(img, opt, 0x10b);
    Put32(img, opt + 92, o.directoryCount);
    const size_t section = opt + 224;
    std::memcpy(&img[section], ".rsrc", 5);

    // Resource directory: root, type, name, languages, data entries, name strings, blocks.
    Bytes r;
    auto directory = [&](size_t named, size_t ids) {
        const size_t at = r.size();
        r.resize(at + 16 + 8 * (named + ids));
        Put16(r, at + 12, static_cast<uint32_t>(named));
        Put16(r, at + 14, static_cast<uint32_t>(ids));
        return at;
    };
    const size_t root = directory(o.muiType ? 1 : 0, o.withVersionType ? 1 : 0);
    const size_t firstId = root + 16 + (o.muiType ? 8 : 0);
    if (o.withVersionType) {
        // type 16 -> name -> languages -> data entries
        const size_t type = directory(0, 1);
        Put32(r, firstId, 16);
        Put32(r, firstId + 4, 0x80000000u | static_cast<uint32_t>(type));
        const size_t languages = directory(0, blocks.size());
        Put32(r, type + 16, o.versionName);
        Put32(r, type + 20, 0x80000000u | static_cast<uint32_t>(languages));
        std::vector<size_t> entries;
        for (size_t i = 0; i < blocks.size(); ++i) {
            entries.push_back(r.size());
            r.resize(r.size() + 16);
            Put32(r, languages + 16 + 8 * i, 0x409 + static_cast<uint32_t>(i));
            Put32(r, languages + 20 + 8 * i, static_cast<uint32_t>(entries.back()));
        }
        for (size_t i = 0; i < blocks.size(); ++i) {
            Pad4(r);
            Put32(r, entries[i], 0x1000 + static_cast<uint32_t>(r.size()));
            Put32(r, entries[i] + 4, static_cast<uint32_t>(blocks[i].size()));
            r.insert(r.end(), blocks[i].begin(), blocks[i].end());
        }
    }
    if (o.muiType) {
        Pad4(r);
        Put32(r, root + 16, 0x80000000u | static_cast<uint32_t>(r.size()));
        Put32(r, root + 20, 0x80000000u | static_cast<uint32_t>(root));  // never followed
        r.push_back(3);
        r.push_back(0);
        AppendText(r, u"mui");
    }
    if (o.withResources) {
        Put32(img, opt + 96 + 16, 0x1000);
        Put32(img, opt + 96 + 20, static_cast<uint32_t>(r.size()));
    }
    Put32(img, section + 8, static_cast<uint32_t>(r.size()));
    Put32(img, section + 12, 0x1000);
    Put32(img, section + 16, static_cast<uint32_t>(r.size()));
    Put32(img, section + 20, 0x200);
    img.insert(img.end(), r.begin(), r.end());
    return img;
}

// Reads from bytes held in memory.
class MemoryReader : public ByteReader {
public:
    MemoryReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Read(uint64_t offset, void* out, size_t size) override {
        if (offset > size_ || size > size_ - offset) return false;
        if (size) std::memcpy(out, data_ + offset, size);
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace dp::pe_test
