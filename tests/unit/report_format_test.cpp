#include "base/report_format.h"

#include <gtest/gtest.h>

#include "engine/install_plan.h"
#include "items/files/file_texts.h"
#include "items/files/result_line.h"
#include "items/files/update_rule.h"
#include "model/install_script.h"

namespace dp {
namespace {

std::u16string Latin1(std::string_view text) {
    std::u16string out;
    for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

// A double-byte code page in miniature: 0x81-0x9F start a character of two
// bytes (read as U+8800 + second byte), 0x80 is the euro sign, every other
// byte is Latin-1.
std::u16string DoubleByte(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x81 && byte <= 0x9F && i + 1 < text.size())
            out += static_cast<char16_t>(0x8800 + static_cast<unsigned char>(text[++i]));
        else
            out += byte == 0x80 ? u'\u20ac' : static_cast<char16_t>(byte);
    }
    return out;
}

std::u16string Unreadable(std::string_view) { return {}; }

TEST(ReportFormat, JsonStringEscapes) {
    using namespace std::string_view_literals;
    const struct {
        std::string_view text;
        CodePageReader reader;
        const char* json;
    } cases[] = {
        {"", Latin1, R"("")"},
        {"C:\\Program Files\\app.exe", Latin1, R"("C:\\Program Files\\app.exe")"},
        {"say \"hi\"", Latin1, R"("say \"hi\"")"},
        {"a\tb\r\nc\b\f", Latin1, R"("a\tb\r\nc\b\f")"},
        {"\x01\x1f\x7f~"sv, Latin1, "\"\\u0001\\u001f\x7f~\""},
        {"nul\0end"sv, Latin1, R"("nul\u0000end")"},
        {"caf\xe9", Latin1, R"("caf\u00e9")"},
        {"\xff", Latin1, R"("\u00ff")"},
        {"\x80 5", DoubleByte, R"("\u20ac 5")"},
        // The second byte of a double-byte character is no backslash.
        {"\x95\\x\\", DoubleByte, R"("\u885cx\\")"},
        {"\x9f\"", DoubleByte, R"("\u8822")"},
        // Text the reader cannot read is taken byte by byte.
        {"\x80\\", Unreadable, R"("\u0080\\")"},
        {"\x80", nullptr, R"("\u0080")"},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonString(c.text, c.reader), c.json) << c.json;
}

TEST(ReportFormat, FormByPathEnding) {
    const struct {
        const char* path;
        ReportForm form;
    } cases[] = {
        {"C:\\LOGS\\PLAN.JSON", ReportForm::kJson},
        {"plan.json", ReportForm::kJson},
        {"plan.Json  ", ReportForm::kJson},
        {".json", ReportForm::kJson},
        {"plan.tsv", ReportForm::kTabs},
        {"plan.json.tsv", ReportForm::kTabs},
        {"plan.jsonl", ReportForm::kTabs},
        {"C:\\json", ReportForm::kTabs},
        {"json", ReportForm::kTabs},
        {"", ReportForm::kTabs},
    };
    for (const auto& c : cases) EXPECT_EQ(ReportFormOf(c.path), c.form) << c.path;
}

TEST(ReportFormat, RowsAsTabsAndJson) {
    const std::vector<std::string> columns = {"step", "found value"};
    const ReportRows rows = {{"[A]", "x\ty\nz"}, {"[B]"}, {"[C]", "w\xe9", "beyond the columns"}};
    EXPECT_EQ(FormatTabRows(columns, rows), "step\tfound value\n[A]\tx y z\n[B]\t\n[C]\tw\xe9\n");
    EXPECT_EQ(FormatJsonRows(columns, rows, Latin1),
              "[\n"
              R"({"step":"[A]","found value":"x\ty\nz"},)" "\n"
              R"({"step":"[B]","found value":""},)" "\n"
              R"({"step":"[C]","found value":"w\u00e9"})" "\n"
              "]\n");
    EXPECT_EQ(FormatJsonRows(columns, {}, Latin1), "[\n]\n");
    EXPECT_EQ(FormatReport(ReportForm::kJson, columns, rows, Latin1), FormatJsonRows(columns, rows, Latin1));
    EXPECT_EQ(FormatReport(ReportForm::kTabs, columns, rows, Latin1), FormatTabRows(columns, rows));
}

FileItem PlanFile(const std::string& target, const FileFacts& targetFacts, const std::string& version) {
    FileItem it;
    it.targetPath = target;
    it.sourcePath = "P:\\pkg\\" + FileNamePart(target);
    it.targetExists = 1;
    it.sourceExists = 1;
    it.selected = 1;
    ShowTargetFacts(it, targetFacts, version, targetFacts.factsOk != 0);
    FileFacts source;
    source.factsOk = 1;
    source.hasVersion = 1;
    source.size = 5368709125ULL;
    source.lastWriteTime = 133617168000000000ULL;  // 1 June 2024, noon
    ShowSourceFacts(it, source, "2.0.0.1", true);
    it.updateRule = static_cast<uint8_t>(UpdateRule::HigherVersion);
    return it;
}

// File rows carry times in ISO 8601 (also in the version column of a file
// without a version resource) and sizes in bytes; texts of facts that could
// not be read stay as the item shows them.
TEST(ReportFormat, PlanFileColumns) {
    InstallScript script("C:\\P\\");
    FileFacts dated;
    dated.factsOk = 1;
    dated.lastWriteTime = 133617168000000000ULL - 864000000000ULL + 10000000ULL;  // 31 May 2024, 12:00:01
    dated.size = 12;
    FileFacts versioned = dated;
    versioned.hasVersion = 1;
    script.fileList.items = {PlanFile("C:\\A\\a.txt", dated, ""), PlanFile("C:\\A\\b.dll", versioned, "1.0"),
                             PlanFile("C:\\A\\c.dat", FileFacts{}, "")};
    std::vector<PlanRow> rows;
    for (const FileItem& it : script.fileList.items) {
        rows.push_back(FileItemRow("replace", it, RuleText(static_cast<UpdateRule>(it.updateRule))));
        rows.back().step = "[InstallFiles]";
    }
    const std::string source = "\t2.0.0.1\t5368709125\t2024-06-01T12:00:00Z\thigher version\n";
    EXPECT_EQ(FormatPlan(rows),
              "step\taction\ttarget\tsource\ttarget version\ttarget size\ttarget date\t"
              "source version\tsource size\tsource date\treason\n"
              "[InstallFiles]\treplace\tC:\\A\\a.txt\tP:\\pkg\\a.txt\t2024-05-31T12:00:01Z\t12\t2024-05-31T12:00:01Z" +
                  source +
                  "[InstallFiles]\treplace\tC:\\A\\b.dll\tP:\\pkg\\b.dll\t1.0\t12\t2024-05-31T12:00:01Z" + source +
                  "[InstallFiles]\treplace\tC:\\A\\c.dat\tP:\\pkg\\c.dat\t- get error -\t- get error -\t" + source);
    const std::string json = FormatPlan(rows, ReportForm::kJson);
    EXPECT_NE(json.find(R"({"step":"[InstallFiles]","action":"replace","target":"C:\\A\\a.txt",)"
                        R"("source":"P:\\pkg\\a.txt","target version":"2024-05-31T12:00:01Z","target size":"12",)"
                        R"("target date":"2024-05-31T12:00:01Z","source version":"2.0.0.1",)"
                        R"("source size":"5368709125","source date":"2024-06-01T12:00:00Z",)"
                        R"("reason":"higher version"},)"),
              std::string::npos)
        << json;
}

}  // namespace
}  // namespace dp
