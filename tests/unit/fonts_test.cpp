#include "items/fonts/font_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "items/font_substitutes/font_substitutes.h"

namespace dp {
namespace {

using Values = std::vector<std::optional<std::string>>;

std::string Be16(uint32_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v)}; }
std::string Be32(uint32_t v) { return Be16(v >> 16) + Be16(v & 0xffff); }

struct Record {
    uint32_t platform, encoding, language, nameId;
    std::string text;  // as stored
};
std::string Utf16Be(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) out += Be16(c);
    return out;
}

std::string NameTable(const std::vector<Record>& records) {
    std::string head = Be16(0) + Be16(static_cast<uint32_t>(records.size())) +
                       Be16(static_cast<uint32_t>(6 + 12 * records.size()));
    std::string storage;
    for (const Record& r : records) {
        head += Be16(r.platform) + Be16(r.encoding) + Be16(r.language) + Be16(r.nameId) +
                Be16(static_cast<uint32_t>(r.text.size())) + Be16(static_cast<uint32_t>(storage.size()));
        storage += r.text;
    }
    return head + storage;
}

// A font file of the given tables; `base` bytes come first (a collection's header).
std::string FontFile(const std::map<std::string, std::string>& tables, uint32_t version = 0x00010000,
                     const std::string& before = "") {
    std::string head = Be32(version) + Be16(static_cast<uint32_t>(tables.size())) + std::string(6, '\0');
    size_t offset = before.size() + 12 + 16 * tables.size();
    std::string data;
    for (const auto& [tag, bytes] : tables) {
        head += tag + Be32(0) + Be32(static_cast<uint32_t>(offset + data.size())) +
                Be32(static_cast<uint32_t>(bytes.size()));
        data += bytes;
    }
    return before + head + data;
}

std::u16string NameOf(const std::string& file) {
    return FontFullName([&file](uint64_t offset, uint32_t size, std::string& bytes) {
        bytes = offset < file.size() ? file.substr(static_cast<size_t>(offset), size) : std::string();
        return true;
    });
}

std::string TestFont() {
    std::ifstream in(DP_TEST_FONTS "dptest.ttf", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FontFullName, RealFontAndEveryTruncation) {
    const std::string font = TestFont();
    ASSERT_GT(font.size(), 500u);
    EXPECT_EQ(NameOf(font), u"Dptest Sans Book");
    // Cut anywhere, a font gives its name or nothing, never a piece of it.
    for (size_t n = 0; n < font.size(); ++n) {
        const std::u16string name = NameOf(font.substr(0, n));
        EXPECT_TRUE(name.empty() || name == u"Dptest Sans Book") << n;
    }
    // A file that cannot be read has no name.
    EXPECT_EQ(FontFullName([](uint64_t, uint32_t, std::string&) { return false; }), u"");
}

TEST(FontFullName, ChoosesTheRecordAndSurvivesMalformedTables) {
    const std::string win = Utf16Be(u"Win US"), other = Utf16Be(u"Win FR");
    const struct {
        const char* what;
        std::string table;
        std::u16string name;
    } cases[] = {
        {"US English first", NameTable({{3, 1, 0x40c, 4, other}, {3, 1, 0x409, 4, win}, {1, 0, 0, 4, "Mac"}}), u"Win US"},
        {"any Windows language", NameTable({{1, 0, 0, 4, "Mac"}, {3, 10, 0x40c, 4, other}}), u"Win FR"},
        {"only the full name", NameTable({{3, 1, 0x409, 1, win}, {1, 0, 0, 4, "Mac"}}), u"Mac"},
        {"Macintosh Roman", NameTable({{1, 0, 0, 4, "Caf\x8e \xa5"}}), u"Caf\u00e9 \u2022"},
        {"unknown encodings", NameTable({{1, 1, 0, 4, "x"}, {3, 2, 0x409, 4, win}, {0, 3, 0, 4, win}}), u""},
        {"empty and zero-led names skipped", NameTable({{3, 1, 0x409, 4, ""}, {3, 1, 0x40c, 4, Be16(0) + win}, {1, 0, 0, 4, "M"}}), u"M"},
        {"cut at a zero", NameTable({{3, 1, 0x409, 4, Utf16Be(u"Ab") + Be16(0) + Utf16Be(u"cd")}}), u"Ab"},
        {"odd length", NameTable({{3, 1, 0x409, 4, win + "x"}}), u"Win US"},
        {"text past the table", NameTable({{3, 1, 0x409, 4, win}}).substr(0, 20), u""},
        {"more records than bytes", Be16(0) + Be16(500) + Be16(6), u""},
        {"storage offset past the end", Be16(0) + Be16(1) + Be16(0xffff) + Be16(3) + Be16(1) + Be16(0x409) + Be16(4) + Be16(2) + Be16(0), u""},
        {"too short", "\0\0\0", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(FullNameFromNameTable(c.table), c.name) << c.what;

    const std::string name = NameTable({{3, 1, 0x409, 4, win}});
    EXPECT_EQ(NameOf(FontFile({{"head", std::string(54, '\0')}, {"name", name}})), u"Win US");
    EXPECT_EQ(NameOf(FontFile({{"name", name}}, 0x4f54544f)), u"Win US");  // "OTTO"
    EXPECT_EQ(NameOf(FontFile({{"head", name}})), u"");                    // no name table
    EXPECT_EQ(NameOf(FontFile({{"name", name}}, 0x4d5a9000)), u"");        // not a font ("MZ")
    // A collection: the first font's tables, with offsets from the file's start.
    const std::string collection = "ttcf" + Be32(0x00010000) + Be32(1) + Be32(16);
    EXPECT_EQ(NameOf(FontFile({{"name", name}}, 0x00010000, collection)), u"Win US");
    EXPECT_EQ(NameOf("ttcf" + Be32(0x00010000) + Be32(0) + Be32(16)), u"");
    // A table directory that claims more tables than the file has.
    EXPECT_EQ(NameOf(Be32(0x00010000) + Be16(0xffff) + std::string(6, '\0') + "name"), u"");
}

TEST(FontFiles, NamesOfTheFontAndItsResources) {
    const struct {
        const char* file;
        bool trueType;
        const char* resource;
    } cases[] = {
        {"Serif.ttf", true, "C:\\T\\Serif.fot"},
        {"SERIF.TTF", false, nullptr},       // added directly by its name
        {"Serif.ttf.bak", false, nullptr},   // the extension is at the end
        {"a.ttfx.ttf", true, "C:\\T\\a.ttfx.fot"},
        {".ttf", true, "C:\\T\\.fot"},
        {"Serif.fon", false, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsTrueTypeName(c.file), c.trueType) << c.file;
        if (c.resource) EXPECT_EQ(FontResourcePath("C:\\T\\", c.file), c.resource) << c.file;
    }
    EXPECT_EQ(FontValueName("Dptest Sans Book", true), "Dptest Sans Book (TrueType)");
    EXPECT_EQ(FontValueName("Small Fonts", false), "Small Fonts");
    EXPECT_EQ(FontValueData("C:\\WINDOWS\\fonts\\a.ttf", "a.ttf", "C:\\Windows\\Fonts\\"), "a.ttf");
    EXPECT_EQ(FontValueData("D:\\Fonts\\a.ttf", "a.ttf", "C:\\Windows\\Fonts\\"), "D:\\Fonts\\a.ttf");
    EXPECT_EQ(FontValueData("C:\\Windows\\Fonts\\sub\\a.ttf", "a.ttf", "C:\\Windows\\Fonts\\"),
              "C:\\Windows\\Fonts\\sub\\a.ttf");
}

TEST(ParseFontSubstitutes, TrimsQuotesAndBlanksAndNeedsAnEqualsSign) {
    const struct {
        std::string section;
        int deletion, result;
        std::vector<std::string> names;
        Values values;
    } cases[] = {
        {"MS Sans Serif,204=MS Sans Serif,0", 0, 1, {"MS Sans Serif,204"}, {"MS Sans Serif,0"}},
        {"\"Helv\" = \t\"Arial\"\r\n \"a\"b\" = \"x=\"y\" ", 0, 1, {"Helv", "a\"b"}, {"Arial", "x=\"y"}},
        {"Helv=", 0, 1, {"Helv"}, {""}},
        {"Helv=\nTms Rmn=ignored", 1, 1, {"Helv", "Tms Rmn"}, {std::nullopt, std::nullopt}},
        {"%NAME%=x", 0, 1, {"%NAME%"}, {"x"}},  // no variables here
        {"a=b\nno sign\nc=d", 1, 0, {"a"}, {std::nullopt}},  // the lines before it stay
        {"", 0, 1, {}, {}},
        {" \"\t\r\n", 0, 1, {}, {}},
    };
    for (const auto& c : cases) {
        FontSubstituteList list;
        EXPECT_EQ(ParseFontSubstitutes(list, c.section, c.deletion), c.result) << c.section;
        EXPECT_EQ(list.names, c.names) << c.section;
        EXPECT_EQ(list.values, c.values) << c.section;
    }
}

}  // namespace
}  // namespace dp
