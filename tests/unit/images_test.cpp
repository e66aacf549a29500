#include "items/files/version_resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "items/com/com_registration.h"
#include "support/pe_image_builder.h"

namespace dp {
namespace {

using namespace pe_test;

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

VersionLookup Lookup(const Bytes& image, Bytes& block) {
    pe_test::MemoryReader reader(image.data(), image.size());
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

// Which servers go through the 64-bit regsvr32: the machine type read from the
// head of the file, whatever the head holds.
TEST(ComRegistration, MachineTypeFromTheImageHeader) {
    const pe_test::Bytes image = pe_test::Image({});
    const std::string x86(image.begin(), image.end());
    auto with = [&](size_t at, std::string bytes) { return std::string(x86).replace(at, bytes.size(), bytes); };
    const struct {
        const char* name;
        std::string head;
        uint16_t machine;
        bool sixtyFour = false;
    } cases[] = {
        {"x86", x86, 0x14c},
        {"x86-64", with(0x44, "\x64\x86"), 0x8664, true},
        {"ARM64", with(0x44, "\x64\xaa"), 0xaa64, true},
        {"header past the bytes read", with(0x3c, "\xfc\x01"), 0},
        {"header offset near 4 GiB", with(0x3c, "\xff\xff\xff\xff"), 0},
        {"no PE signature", with(0x41, "X"), 0},
        {"cut before the machine", x86.substr(0, 0x45), 0},
        {"cut before the header offset", x86.substr(0, 0x3e), 0},
        {"not an image", std::string(0x200, 'M'), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ImageMachine(c.head), c.machine) << c.name;
        EXPECT_EQ(IsSixtyFourBitMachine(ImageMachine(c.head)), c.sixtyFour) << c.name;
    }
}

}  // namespace
}  // namespace dp
