#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/run_flags.h"
#include "log/message_box.h"
#include "script/registry_text.h"
#include "script/variable_table.h"

namespace dp {
namespace {

// Records every message box and answers OK.
class BoxRecorder {
public:
    BoxRecorder() {
        old_ = SetMessageBoxHandler([this](const std::string& text, const std::string& caption,
                                           unsigned style) {
            boxes.push_back(caption + "|" + text + "|" + std::to_string(style));
            return kAnswerOk;
        });
    }
    ~BoxRecorder() { SetMessageBoxHandler(old_); }
    std::vector<std::string> boxes;

private:
    MessageBoxHandler old_;
};

// A fake registry for the references of [Strings]: "root|subkey|value" -> data.
class FakeRegistry {
public:
    explicit FakeRegistry(std::map<std::string, std::string> data) : data_(std::move(data)) {
        old_ = SetRegistryTextReader([this](RegistryRoot root, const std::string& subkey,
                                            const std::string& value, std::string& out) {
            std::string key = std::to_string(static_cast<int>(root)) + "|" + subkey + "|" + value;
            reads.push_back(key);
            auto it = data_.find(key);
            if (it == data_.end()) return false;
            out = it->second;
            return true;
        });
    }
    ~FakeRegistry() { SetRegistryTextReader(old_); }
    std::vector<std::string> reads;

private:
    std::map<std::string, std::string> data_;
    RegistryTextReader old_;
};

std::string Key(RegistryRoot root, const std::string& subkey, const std::string& value) {
    return std::to_string(static_cast<int>(root)) + "|" + subkey + "|" + value;
}

// A table with the fifteen predefined names (made-up folders) and some extras.
VariableTable MakeTable(std::vector<std::pair<std::string, std::string>> extra = {}) {
    VariableTable table;
    for (int i = 0; i < kPredefinedCount; ++i)
        table.AddEntry(kPredefinedNames[i], "", "C:\\F" + std::to_string(i) + "\\");
    table.values[0] = "C:\\WINDOWS\\";
    for (auto& [name, value] : extra) table.AddEntry(name, value, value);
    return table;
}

TEST(ExpandVariables, ReplacesReferencesAndLeavesNonReferences) {
    VariableTable table = MakeTable({{"AB", "x"},
                                     {"NAME", "ab%c"},
                                     {"xab", "Z"},
                                     {"OUTER", "<%INNER%>"},
                                     {"INNER", "in"},
                                     {"EMPTY", ""}});
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"%AB%", "x"},
        {"%WINDOWS_PATH%Fonts", "C:\\WINDOWS\\Fonts"},  // the folder already ends with "\"
        {"%ab%-%Ab%", "x-x"},                            // names ignore case
        {"%a%", "%a%"},                                  // one-character name: no reference
        {"%%", "%%"},                                    // adjacent signs: no reference
        {"100%% %AB%", "100%% x"},
        {"50% off", "50% off"},                          // a lone sign
        {"%", "%"},
        {"", ""},
        {"%x%AB%", "%xx"},  // "%x%" is skipped, its second sign opens %AB%
        {"%OUTER%", "<in>"},  // a value with references is expanded in turn
        {"a%EMPTY%b", "ab"},
        // After a replacement the search restarts at the beginning: "%x"
        // followed by the value "ab%c" forms the new reference %xab%.
        {"%x%NAME%", "Zc"},
    };
    for (const auto& [in, out] : cases) {
        BoxRecorder boxes;
        std::string text = in;
        EXPECT_EQ(table.ExpandVariables(text, false), 1) << in;
        EXPECT_EQ(text, out) << in;
        EXPECT_TRUE(boxes.boxes.empty()) << in;
    }
}

TEST(ExpandVariables, StrictReportsAnUndefinedNameAndKeepsWhatWasReplaced) {
    VariableTable table = MakeTable({{"AB", "a"}, {"CD", "c"}});
    BoxRecorder boxes;
    std::string text = "pre %AB% %NOPE% %CD%";
    EXPECT_EQ(table.ExpandVariables(text, false), 0);
    EXPECT_EQ(text, "pre a %NOPE% %CD%");
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{"|Undefined variable NOPE.|0"});
}

TEST(ExpandVariables, TolerantLeavesUndefinedNamesInPlace) {
    VariableTable table = MakeTable({{"AB", "a"}});
    BoxRecorder boxes;
    std::string text = "%SystemRoot%\\x;%AB%;%windir%%AB%";
    EXPECT_EQ(table.ExpandVariables(text, true), 1);
    EXPECT_EQ(text, "%SystemRoot%\\x;a;%windir%a");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(ExpandVariables, SelfReferenceIsReportedInsteadOfLoopingForever) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> entries;
        std::string text;
        std::string box;
    };
    const std::vector<Case> cases = {
        {{{"AA", "%AA%"}}, "%AA%", "|Variable refers to itself AA.|0"},
        {{{"AA", "x%AA%y"}}, "-%AA%-", "|Variable refers to itself AA.|0"},
        {{{"AA", "%BB%"}, {"BB", "%CC%"}, {"CC", "%AA%"}}, "%BB%", "|Variable refers to itself BB.|0"},
        // A chain whose text doubles at each step cannot be a script's intent.
        {{{"V0", "%V1%%V1%"}, {"V1", "%V2%%V2%"}, {"V2", "%V3%%V3%"}, {"V3", "%V4%%V4%"},
          {"V4", "%V5%%V5%"}, {"V5", "%V6%%V6%"}, {"V6", "%V7%%V7%"}, {"V7", "%V8%%V8%"},
          {"V8", "%V9%%V9%"}, {"V9", "%V10%%V10%"}, {"V10", "%V11%%V11%"}, {"V11", "%V12%%V12%"},
          {"V12", "%V13%%V13%"}, {"V13", "%V14%%V14%"}, {"V14", "%V15%%V15%"},
          {"V15", "%V16%%V16%"}, {"V16", "%V17%%V17%"}, {"V17", "%V18%%V18%"},
          {"V18", "%V19%%V19%"}, {"V19", std::string(1000, 'x')}},
         "%V0%", ""},
    };
    for (const Case& c : cases) {
        VariableTable table = MakeTable(c.entries);
        for (bool tolerant : {false, true}) {
            BoxRecorder boxes;
            std::string text = c.text;
            auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(table.ExpandVariables(text, tolerant), 0) << c.text;
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
            ASSERT_EQ(boxes.boxes.size(), 1u) << c.text;
            if (!c.box.empty()) EXPECT_EQ(boxes.boxes[0], c.box);
            EXPECT_NE(boxes.boxes[0].find("Variable refers to itself"), std::string::npos);
        }
    }
}

TEST(ExpandVariables, RepeatedAndNestedUseIsNoSelfReference) {
    // The same variable twice side by side, through two paths, and a long chain.
    VariableTable table = MakeTable({{"AA", "%BB%%BB%"}, {"BB", "%CC%-%CC%"}, {"CC", "c"}});
    for (int i = 0; i < 500; ++i)
        table.AddEntry("L" + std::to_string(i), "", "%L" + std::to_string(i + 1) + "%.");
    table.AddEntry("L500", "", "end");
    BoxRecorder boxes;
    std::string text = "%AA% %AA% %CC%";
    EXPECT_EQ(table.ExpandVariables(text, false), 1);
    EXPECT_EQ(text, "c-cc-c c-cc-c c");
    text = "%L0%";
    EXPECT_EQ(table.ExpandVariables(text, false), 1);
    EXPECT_EQ(text, "end" + std::string(500, '.'));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(ExpandVariables, LongNamesAndTextsHaveNoLimit) {
    const std::string longName(5000, 'N');
    const std::string longValue(300000, 'v');
    VariableTable table = MakeTable({{longName, "short"}, {"BIG", longValue}});
    const std::string before(100000, 'b');
    const std::string after(100000, 'a');
    std::string text = before + "%" + longName + "%" + after + "%BIG%";
    EXPECT_EQ(table.ExpandVariables(text, false), 1);
    EXPECT_EQ(text, before + "short" + after + longValue);

    // Many references in one long text: each replacement costs the text's length.
    std::string many;
    for (int i = 0; i < 20000; ++i) many += "%WINDOWS_PATH%x";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(table.ExpandVariables(many, false), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(many.size(), 20000u * (std::string("C:\\WINDOWS\\x").size()));
}

TEST(VariableTable, LookupIgnoresCaseAndTheFirstEntryWins) {
    VariableTable table = MakeTable({{"windows_path", "mine"}, {"Dup", "first"}, {"DUP", "second"}});
    ASSERT_NE(table.FindValue("WINDOWS_PATH"), nullptr);
    EXPECT_EQ(*table.FindValue("WINDOWS_PATH"), "C:\\WINDOWS\\");
    EXPECT_EQ(*table.FindValue("dup"), "first");
    EXPECT_EQ(table.FindValue("missing"), nullptr);
    EXPECT_EQ(table.FindIndex("Dup"), kPredefinedCount + 1);
}

TEST(VariableTable, IsPredefinedFolderComparesTheWholeValueOfTheFifteen) {
    VariableTable table = MakeTable({{"MINE", "D:\\Mine\\"}});
    EXPECT_EQ(table.IsPredefinedFolder("C:\\WINDOWS\\"), 1);
    EXPECT_EQ(table.IsPredefinedFolder("c:\\windows\\"), 1);
    EXPECT_EQ(table.IsPredefinedFolder("C:\\F14\\"), 1);
    EXPECT_EQ(table.IsPredefinedFolder("C:\\WINDOWS"), 0);  // final backslash included
    EXPECT_EQ(table.IsPredefinedFolder("C:\\WINDOWS\\System32\\"), 0);
    EXPECT_EQ(table.IsPredefinedFolder("D:\\Mine\\"), 0);  // [Strings] entries do not count
}

TEST(StringsSection, EntriesAreResolvedInLineOrder) {
    BoxRecorder boxes;
    VariableTable table = MakeTable();
    EXPECT_EQ(table.ParseStringsSection("BB = x\r\nAA=%BB%y\r\n  C  =  %WINDOWS_PATH%Fonts  \r\n\tT=1"), 1);
    EXPECT_EQ(*table.FindValue("AA"), "xy");
    EXPECT_EQ(*table.FindValue("C"), "C:\\WINDOWS\\Fonts");
    EXPECT_EQ(table.definitions[kPredefinedCount + 2], "%WINDOWS_PATH%Fonts");
    EXPECT_EQ(*table.FindValue("\tT"), "1");  // tabs are not trimmed
    EXPECT_TRUE(boxes.boxes.empty());

    VariableTable later = MakeTable();
    EXPECT_EQ(later.ParseStringsSection("AA=%BB%\nBB=x"), 0);
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{"|Undefined variable BB.|0"});
    EXPECT_EQ(later.count(), kPredefinedCount + 1);  // AA was stored; BB was never read
}

TEST(StringsSection, MalformedLinesEmptySectionsAndSelfReference) {
    BoxRecorder boxes;
    VariableTable table = MakeTable();
    EXPECT_EQ(table.ParseStringsSection(""), 1);
    EXPECT_EQ(table.ParseStringsSection("AA=1\nno equals sign\nBB=2"), 0);
    EXPECT_EQ(table.count(), kPredefinedCount + 1);
    EXPECT_TRUE(boxes.boxes.empty());  // the script reader reports the section

    EXPECT_EQ(table.ParseStringsSection("SELF=x%SELF%"), 0);
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{"|Variable refers to itself SELF.|0"});
    // An earlier entry of the same name is what the reference means.
    boxes.boxes.clear();
    EXPECT_EQ(table.ParseStringsSection("AA=%AA%+"), 1);
    EXPECT_EQ(table.values.back(), "1+");

    stopRequested = 1;
    EXPECT_EQ(table.ParseStringsSection(""), 0);
    stopRequested = 0;
}

TEST(StringsSection, RegistryReferences) {
    FakeRegistry registry({
        {Key(RegistryRoot::LocalMachine, "SOFTWARE\\Vendor\\App", "Dir"), "D:\\App %NOT_EXPANDED%"},
        {Key(RegistryRoot::CurrentUser, "Single", "Single"), "single"},
        {Key(RegistryRoot::DynData, "K", "V"), "dyn"},
    });
    BoxRecorder boxes;
    VariableTable table = MakeTable();
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        // name, definition, value
        {"R1", "%WINDOWS_PATH%x , HKLM\\SOFTWARE\\Vendor\\App\\Dir", "D:\\App %NOT_EXPANDED%"},
        {"R2", "%WINDOWS_PATH%x,HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App\\Dir", "D:\\App %NOT_EXPANDED%"},
        {"R3", "%WINDOWS_PATH%x,HKLM\\SOFTWARE\\Vendor\\App\\Missing", "C:\\WINDOWS\\x"},
        {"R4", "%WINDOWS_PATH%x,hklm\\SOFTWARE\\Vendor\\App\\Dir", "C:\\WINDOWS\\x"},  // case matters
        {"R5", "fallback,HKXX\\SOFTWARE\\Vendor\\App\\Dir", "fallback"},
        {"R6", "fallback,HKLM", ""},  // no backslash: empty, the default is not used
        {"R7", "fallback,HKCU\\Single", "single"},  // one backslash: key and value share the name
        {"R8", "fallback,HKDD\\K\\V", "dyn"},
        {"R9", "fallback,", "fallback"},  // nothing after the comma: no reference
        {"R10", "a,b,HKLM\\SOFTWARE\\Vendor\\App\\Dir", "a"},  // only the first comma splits
    };
    std::string section;
    for (const auto& [name, definition, value] : cases) section += name + "=" + definition + "\n";
    section.pop_back();
    EXPECT_EQ(table.ParseStringsSection(section), 1);
    for (const auto& [name, definition, value] : cases) {
        ASSERT_NE(table.FindValue(name), nullptr) << name;
        EXPECT_EQ(*table.FindValue(name), value) << name;
    }
    EXPECT_TRUE(boxes.boxes.empty());
    // R10's reference "b,HKLM\..." names the root "b,HKLM": not a root, so no read.
    EXPECT_EQ(registry.reads.size(), 5u);

    // A default that cannot be expanded is reported, but the entry stands.
    EXPECT_EQ(table.ParseStringsSection("F=%NOPE%,HKLM\\SOFTWARE\\Vendor\\App\\Missing"), 1);
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{"|Undefined variable NOPE.|0"});
    EXPECT_EQ(*table.FindValue("F"), "%NOPE%");
}

class ScriptedSink : public ProgressSink {
public:
    explicit ScriptedSink(int stopAt) : stopAt_(stopAt) { SetProgressSink(this); }
    ~ScriptedSink() override { SetProgressSink(nullptr); }
    void ShowProgressLine(const std::string& text, int kind) override {
        lines.push_back(text + "/" + std::to_string(kind));
    }
    void PollStop(int done, int total, int32_t& stop) override {
        polls.push_back(std::to_string(done) + "/" + std::to_string(total));
        if (done == stopAt_) stop = 1;
    }
    std::vector<std::string> lines;
    std::vector<std::string> polls;

private:
    int stopAt_;
};

TEST(StringsSection, ShowsEachNameAndHonoursAStop) {
    {
        ScriptedSink sink(-1);
        VariableTable table = MakeTable();
        EXPECT_EQ(table.ParseStringsSection("A=1\nB=2"), 1);
        EXPECT_EQ(sink.lines, (std::vector<std::string>{"A/0", "B/0"}));
        EXPECT_EQ(sink.polls, (std::vector<std::string>{"1/2", "2/2", "0/2"}));
    }
    {
        ScriptedSink sink(2);
        VariableTable table = MakeTable();
        EXPECT_EQ(table.ParseStringsSection("A=1\nB=2\nC=3"), 0);
        EXPECT_EQ(table.count(), kPredefinedCount + 1);  // B is not added
        EXPECT_EQ(sink.polls, (std::vector<std::string>{"1/3", "2/3"}));
    }
}

TEST(ShellVersion, MajorAndMinorFromTheVersionText) {
    const std::vector<std::tuple<std::string, int, int>> cases = {
        {"6.0.2900.2180", 6, 0}, {"4.71", 4, 71}, {"5.81.4916.400 (built)", 5, 81},
        {" 4.72.3110", 4, 72},  {"5", -1, -1},   {"", -1, -1},
    };
    for (const auto& [text, major, minor] : cases) {
        int mi = -1;
        int ma = -1;
        ParseMajorMinor(text, mi, ma);
        EXPECT_EQ(ma, major) << text;
        EXPECT_EQ(mi, minor) << text;
    }
}

}  // namespace
}  // namespace dp
