#include "items/files/version_resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace dp {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}
void Pad4(Bytes& b) { b.resize((b.size() + 3) / 4 * 4); }
void AppendText(Bytes& b, const std::u16string& text) {
    for (char16_t c : text + u'\0') b.insert(b.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
}

// One node of a 32-bit version block.
Bytes VNode(const std::u16string& key, const Bytes& value, uint16_t valueLength, uint16_t type,
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
Bytes TextNode(const std::u16string& key, const std::u16string& text) {
    Bytes value;
    AppendText(value, text);
    return VNode(key, value, static_cast<uint16_t>(text.size() + 1), 1);
}
Bytes Fixed(uint32_t ms, uint32_t ls) {
    Bytes f(52);
    Put32(f, 0, 0xFEEF04BD);
    Put32(f, 8, ms);
    Put32(f, 12, ls);
    return f;
}
Bytes Translations(std::initializer_list<std::pair<uint16_t, uint16_t>> pairs) {
    Bytes v;
    for (auto [lang, cp] : pairs) {
        v.resize(v.size() + 4);
        Put16(v, v.size() - 4, lang);
        Put16(v, v.size() - 2, cp);
    }
    return VNode(u"VarFileInfo", {}, 0, 1, {VNode(u"Translation", v, static_cast<uint16_t>(v.size()), 0)});
}
Bytes StringTable(const std::u16string& key, const std::vector<Bytes>& strings) {
    return VNode(key, {}, 0, 1, strings);
}
Bytes VersionBlock(const std::vector<Bytes>& tables, const Bytes& translation) {
    return VNode(u"VS_VERSION_INFO", Fixed(0x00020001, 0x00040003), 52, 0,
                 {VNode(u"StringFileInfo", {}, 0, 1, tables), translation});
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
Bytes Image(const std::vector<Bytes>& blocks, const ImageOptions& o = {}) {
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

VersionLookup Lookup(const Bytes& image, Bytes& block) {
    struct : ByteReader {
        const Bytes* bytes;
        bool Read(uint64_t at, void* out, size_t size) override {
            if (at > bytes->size() || size > bytes->size() - at) return false;
            std::copy_n(bytes->data() + at, size, static_cast<uint8_t*>(out));
            return true;
        }
    } reader;
    reader.bytes = &image;
    return FindImageVersionResource(reader, block);
}

const Bytes kUsualBlock = VersionBlock(
    {StringTable(u"040904b0", {TextNode(u"CompanyName", u"Velmora"), TextNode(u"FileVersion", u"1.0 first")}),
     StringTable(u"040704E4", {TextNode(u"FileVersion", u"2.1.4.3 last")})},
    Translations({{0x409, 1200}, {0x407, 1252}}));

TEST(VersionResource, FactsOfBlocks) {
    const VersionFacts facts = ReadVersionFacts(kUsualBlock);
    EXPECT_TRUE(facts.hasTranslation && facts.hasFixed);
    EXPECT_EQ(facts.fileVersion, u"2.1.4.3 last");  // the last translation; key "040704E4" matched without case
    EXPECT_EQ(facts.versionMS, 0x00020001u);
    EXPECT_EQ(facts.versionLS, 0x00040003u);
    auto fileVersion = [](const Bytes& text, uint16_t length,
                          std::initializer_list<std::pair<uint16_t, uint16_t>> translations) {
        return ReadVersionFacts(VersionBlock({StringTable(u"040904b0", {VNode(u"FileVersion", text, length, 1)})},
                                             Translations(translations)))
            .fileVersion;
    };
    Bytes text;
    AppendText(text, u"1.2.3.4");
    // The last translation has no string table: the earlier text stays.
    EXPECT_EQ(fileVersion(text, 8, {{0x409, 1200}, {0x407, 1252}}), u"1.2.3.4");
    EXPECT_EQ(fileVersion({0, 0}, 0, {{0x409, 1200}}), u"");
    EXPECT_EQ(fileVersion(text, 3, {{0x409, 1200}}), u"1.2");  // the value length stops short of the terminator
    // No translation list: the caller asks the library, which reports the failed query.
    const Bytes noTranslation = VNode(u"VS_VERSION_INFO", Fixed(1, 2), 52, 0,
                                      {VNode(u"StringFileInfo", {}, 0, 1, {StringTable(u"040904b0", {})})});
    EXPECT_FALSE(ReadVersionFacts(noTranslation).hasTranslation);

    VersionValue value;
    EXPECT_TRUE(QueryVersionValue(kUsualBlock, "\\", value));
    EXPECT_EQ(value.length, 52u);
    EXPECT_TRUE(QueryVersionValue(kUsualBlock, "\\\\varfileinfo\\\\TRANSLATION\\", value));
    EXPECT_EQ(value.length, 8u);
    EXPECT_FALSE(QueryVersionValue(kUsualBlock, "\\StringFileInfo\\040904b0\\Missing", value));
    EXPECT_FALSE(QueryVersionValue(kUsualBlock, "\\StringFileInfo\\040904b", value));
}

TEST(VersionResource, ImagesFoundNoneAndLeftToTheSystemLibrary) {
    const Bytes usual = Image({kUsualBlock});
    Bytes childTooLong = kUsualBlock, ne = usual;
    Put16(childTooLong, 92, 0x7000);  // the first node below StringFileInfo
    ne[0x40] = 'N';
    const auto none = VersionLookup::none, undecided = VersionLookup::undecided;
    const struct {
        const char* name;
        Bytes image;
        VersionLookup result;
    } cases[] = {
        {"usual", usual, VersionLookup::found},
        {"no resources", Image({}, {.withResources = false}), none},
        {"too few data directories", Image({kUsualBlock}, {.directoryCount = 2}), none},
        {"resources of other types only", Image({}, {.withVersionType = false}), none},
        {"empty file", {}, undecided},
        {"text file", Bytes{'h', 'e', 'l', 'l', 'o'}, undecided},
        {"not a PE image", ne, undecided},
        {"truncated image", Bytes(usual.begin(), usual.end() - 8), undecided},
        {"two languages", Image({kUsualBlock, kUsualBlock}), undecided},
        {"language resources apart", Image({kUsualBlock}, {.muiType = true}), undecided},
        {"version resource not named 1", Image({kUsualBlock}, {.versionName = 2}), undecided},
        {"wrong root key", Image({VNode(u"VS_VERSION", Fixed(1, 1), 52, 0)}), undecided},
        {"child longer than its parent", Image({childTooLong}), undecided},
    };
    Bytes block;
    for (const auto& c : cases) {
        EXPECT_EQ(Lookup(c.image, block), c.result) << c.name;
        if (c.result == VersionLookup::found) EXPECT_EQ(block, kUsualBlock);
    }
}

}  // namespace
}  // namespace dp
