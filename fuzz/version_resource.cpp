// Fuzzes the version resource reader: the input as an image file, and as a
// raw version block (which the queries must survive even when damaged).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "items/files/version_resource.h"

namespace {

class MemoryReader : public dp::ByteReader {
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

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xffff);
    Put16(b, at + 2, v >> 16);
}
void Pad4(Bytes& b) {
    while (b.size() % 4) b.push_back(0);
}
void Text(Bytes& b, const char* text) {
    for (; *text; ++text) b.insert(b.end(), {static_cast<uint8_t>(*text), 0});
    b.insert(b.end(), {0, 0});
}
Bytes Node(const char* key, const Bytes& value, uint16_t valueLength, uint16_t type,
           const std::vector<Bytes>& children = {}) {
    Bytes b(6);
    Text(b, key);
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

// A small image with a resource section holding one version block; the
// fuzzer's edits start from it, so they reach the deep parts of the reader.
Bytes Template() {
    Bytes text;
    Text(text, "1.2.3.4");
    Bytes fixed(52);
    Put32(fixed, 0, 0xFEEF04BD);
    Bytes pairs(8);
    Put32(pairs, 0, 0x04b00409);
    Put32(pairs, 4, 0x04e40407);
    const Bytes block = Node(
        "VS_VERSION_INFO", fixed, 52, 0,
        {Node("StringFileInfo", {}, 0, 1,
              {Node("040904b0", {}, 0, 1, {Node("FileVersion", text, 8, 1)}),
               Node("040704e4", {}, 0, 1, {Node("FileVersion", text, 8, 1)})}),
         Node("VarFileInfo", {}, 0, 1, {Node("Translation", pairs, 8, 0)})});
    Bytes r(0x60, 0);
    Put16(r, 0x0e, 1);  // root: one id entry (type 16)
    Put32(r, 0x10, 16);
    Put32(r, 0x14, 0x80000018u);
    Put16(r, 0x18 + 0x0e, 1);  // type: name 1
    Put32(r, 0x28, 1);
    Put32(r, 0x2c, 0x80000030u);
    Put16(r, 0x30 + 0x0e, 1);  // name: one language
    Put32(r, 0x40, 0x409);
    Put32(r, 0x44, 0x48);
    Put32(r, 0x48, 0x1060);  // data entry
    Put32(r, 0x4c, static_cast<uint32_t>(block.size()));
    r.insert(r.end(), block.begin(), block.end());

    Bytes img(0x200, 0);
    img[0] = 'M';
    img[1] = 'Z';
    Put32(img, 0x3c, 0x40);
    img[0x40] = 'P';
    img[0x41] = 'E';
    Put16(img, 0x46, 1);
    Put16(img, 0x54, 224);
    Put16(img, 0x58, 0x10b);
    Put32(img, 0x58 + 92, 16);
    Put32(img, 0x58 + 112, 0x1000);
    Put32(img, 0x58 + 116, static_cast<uint32_t>(r.size()));
    const size_t section = 0x58 + 224;
    Put32(img, section + 8, static_cast<uint32_t>(r.size()));
    Put32(img, section + 12, 0x1000);
    Put32(img, section + 16, static_cast<uint32_t>(r.size()));
    Put32(img, section + 20, 0x200);
    img.insert(img.end(), r.begin(), r.end());
    return img;
}

}  // namespace

// Input: a first byte 0 takes the rest as a whole file; otherwise the rest is
// a list of three-byte edits (offset low, offset high, value) of the template.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t inputSize) {
    static const Bytes kTemplate = Template();
    if (inputSize == 0) return 0;
    Bytes file;
    if (input[0] == 0) {
        file.assign(input + 1, input + inputSize);
    } else {
        file = kTemplate;
        for (size_t i = 1; i + 3 <= inputSize; i += 3) {
            const size_t at = (input[i] | (input[i + 1] << 8)) % (file.size() + 1);
            if (at == file.size())
                file.resize(input[i + 2] % 2 ? file.size() / 2 : file.size() + 16);
            else
                file[at] = input[i + 2];
        }
    }
    const uint8_t* data = file.data();
    const size_t size = file.size();
    MemoryReader reader(data, size);
    std::vector<uint8_t> block;
    const dp::VersionLookup result = dp::FindImageVersionResource(reader, block);
    if (result == dp::VersionLookup::found) {
        if (block.size() < 6) std::abort();
        const dp::VersionFacts facts = dp::ReadVersionFacts(block);
        if (facts.fileVersion.size() > block.size()) std::abort();
        if (inputSize == 1 && facts.fileVersion != u"1.2.3.4") std::abort();
    } else if (!block.empty() || (inputSize == 1 && input[0] != 0)) {
        std::abort();  // the unedited template is an image with a version resource
    }
    const std::vector<uint8_t> raw(data, data + size);
    dp::ReadVersionFacts(raw);
    dp::VersionValue value;
    if (dp::QueryVersionValue(raw, "\\a\\\\B\\c", value) && value.offset > raw.size() + 3)
        std::abort();
    return 0;
}
