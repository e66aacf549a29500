// Registration files and key files read from disk, their values written into
// the real registry and read back, and key trees deleted, under scratch keys
// of HKCU and HKLM that each test removes again.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "base/system_text.h"
#include "file_test_support.h"
#include "items/files/file_list.h"
#include "items/registry/registry_items.h"
#include "script/variable_table.h"
#include "unit/recorders.h"

namespace dp {
namespace {

using test::ScratchDir;
using test::ScriptedBoxes;

const std::string kScratch = "Software\\DeployatorTest" + std::to_string(GetCurrentProcessId());

// Every test starts and ends without the scratch keys: kScratch under HKCU
// and HKLM, and HKCU\SAM (a scratch key with a shared name).
class Registry : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() {
        SHDeleteKeyA(HKEY_CURRENT_USER, kScratch.c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kScratch.c_str());
        SHDeleteKeyA(HKEY_CURRENT_USER, "SAM");
    }
};

struct Value {
    DWORD type = 0;
    std::string bytes;
};
// The value's type and bytes; type 0 when it is missing.
Value Read(HKEY root, const std::string& subkey, const std::string& name) {
    Value v;
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return v;
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        v.bytes.resize(size);
        RegQueryValueExA(key, name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(v.bytes.data()), &size);
    }
    RegCloseKey(key);
    return v;
}

bool KeyExists(HKEY root, const std::string& subkey) {
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void CreateKey(HKEY root, const std::string& subkey, const char* value = nullptr) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(root, subkey.c_str(), &key), ERROR_SUCCESS) << subkey;
    if (value) RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    RegCloseKey(key);
}

// What an install step gets, with a log file in the scratch folder (or none).
struct Step {
    explicit Step(const std::string& logPath) : log(logPath.empty() ? nullptr : std::fopen(logPath.c_str(), "w")) {}
    ~Step() {
        if (log) std::fclose(log);
    }
    VariableTable variables;
    FileList files;
    int32_t reboot = 0;
    std::atomic<uint8_t> cancelled{0};
    std::FILE* log;
    StepContext context{log, LogLevel::Full, variables, files, reboot, cancelled};
};

std::string Bytes(const char* s, size_t n) { return std::string(s, n); }

TEST_F(Registry, FilesReadAndEveryTypeWrittenBackByteForByte) {
    ScratchDir dir;
    std::string longBinary, longHex;
    for (int i = 0; i < 2000; ++i) {
        longBinary += static_cast<char>(i % 251);
        char piece[4];
        std::snprintf(piece, sizeof piece, "%02x", i % 251);
        longHex += (i ? "," : "") + std::string(piece);
    }
    const std::string a = "HKEY_CURRENT_USER\\" + kScratch + "\\A", b = "HKCU\\" + kScratch + "\\B";
    test::WriteFileText(dir / "one.reg",
                        "[" + a + "]\r\n\"s\"=\"%WINDOWS_PATH%x \\\"q\\\"\"\r\n@=\"default\"\r\n"
                        "\"d\"=dword:FFFFFFFF\r\n\r\n[" + b + "]\r\n\"m\"=hex(7):61,00,62,62,00,63,00,00\r\n"
                        "\"bin\"=hex:01,00,02\r\n");
    test::WriteFileText(dir / "two.reg",
                        "[HKEY_LOCAL_MACHINE\\" + kScratch + "\\HKUtility]\r\n\"e\"=hex(2):25,53,79,73,74,65,6d,"
                        "52,6f,6f,74,25,00\r\n\"long\"=hex:" + longHex + "\r\n\"n\"=dword:1A\r\n");
    Step step("");
    step.variables.programDirectory = dir.path() + "\\";
    step.variables.AddEntry("WINDOWS_PATH", "", "C:\\W\\");
    RegEntryList list;
    ScriptedBoxes boxes;
    ASSERT_EQ(ParseInstallRegEntries(list, "R1=one.reg\r\nR2 = " + dir.path() + "\\two.reg", step.variables), 1);
    ASSERT_EQ(WriteRegEntries(list, step.context), 1);
    EXPECT_TRUE(boxes.shown.empty());

    const struct {
        HKEY root;
        std::string subkey, name;
        DWORD type;
        std::string bytes;
    } want[] = {
        {HKEY_CURRENT_USER, kScratch + "\\A", "s", REG_SZ, Bytes("C:\\W\\x \"q\"", 11)},
        {HKEY_CURRENT_USER, kScratch + "\\A", "", REG_SZ, Bytes("default", 8)},
        {HKEY_CURRENT_USER, kScratch + "\\A", "d", REG_DWORD, Bytes("\xff\xff\xff\xff", 4)},
        {HKEY_CURRENT_USER, kScratch + "\\B", "m", REG_MULTI_SZ, Bytes("a\0bb\0c\0", 8)},
        {HKEY_CURRENT_USER, kScratch + "\\B", "bin", REG_BINARY, Bytes("\x01\0\x02", 3)},
        {HKEY_LOCAL_MACHINE, kScratch + "\\HKUtility", "e", REG_EXPAND_SZ, Bytes("%SystemRoot%", 13)},
        {HKEY_LOCAL_MACHINE, kScratch + "\\HKUtility", "long", REG_BINARY, longBinary},
        {HKEY_LOCAL_MACHINE, kScratch + "\\HKUtility", "n", REG_DWORD, Bytes("\x1a\0\0\0", 4)},
    };
    for (const auto& w : want) {
        const Value got = Read(w.root, w.subkey, w.name);
        EXPECT_EQ(got.type, w.type) << w.subkey << " " << w.name;
        EXPECT_EQ(got.bytes, w.bytes) << w.subkey << " " << w.name;
    }
}

TEST_F(Registry, SectionFailures) {
    ScratchDir dir;
    test::WriteFileText(dir / "good.reg", "[HKCU\\Software\\X]\r\n@=\"1\"\r\n");
    test::WriteFileText(dir / "bad.reg", "REGEDIT4\r\n[HKCU\\Software\\Y]\r\n@=\"2\"\r\n");
    VariableTable vars;
    vars.programDirectory = dir.path() + "\\";
    const std::string format = "Error|Wrong ini format in [InstallRegEntries] section";
    const struct {
        std::string section;
        int result;
        std::vector<std::string> boxes;
        int entries;
    } cases[] = {
        {"", 1, {}, 0},
        {"a=bad.reg\r\nb=good.reg", 1, {format}, 1},
        {"a=good.reg\r\nno equals sign\r\nb=good.reg", 0, {format}, 1},
        {"a=missing.reg\r\nb=good.reg", 0, {"Error|Error open reg file " + dir.path() + "\\missing.reg"}, 0},
    };
    for (const auto& c : cases) {
        ScriptedBoxes boxes;
        RegEntryList list;
        EXPECT_EQ(ParseInstallRegEntries(list, c.section, vars), c.result) << c.section;
        std::vector<std::string> shown;
        for (const auto& box : boxes.shown) shown.push_back(box.caption + "|" + box.text);
        EXPECT_EQ(shown, c.boxes) << c.section;
        EXPECT_EQ(list.count(), c.entries) << c.section;
    }
    // Each file is shown on the item line, and a Stop confirmed there ends the reading.
    test::ProgressRecorder progress(2);
    RegEntryList list;
    EXPECT_EQ(ParseInstallRegEntries(list, "a=good.reg\r\nb=good.reg", vars), 0);
    EXPECT_EQ(list.count(), 1);
    const std::string shown = "0:" + dir.path() + "\\good.reg";
    EXPECT_EQ(progress.events, (std::vector<std::string>{shown, "1/2", shown, "2/2"}));
}

// A value the system refuses (a name too long) is reported and the next one
// written; a lower-case root then stops the writing.
TEST_F(Registry, WriteFailures) {
    ScratchDir dir;
    const std::string a = "HKCU\\" + kScratch + "\\A", longName(20000, 'n');
    RegEntryList list;
    list.Add(kRegSz, a, longName, "data");
    list.Add(kRegDword, a, "next", "7");
    list.Add(kRegSz, "hkcu\\" + kScratch + "\\B", "b", "2");
    list.Add(kRegSz, "HKCU\\" + kScratch + "\\C", "c", "3");
    std::vector<test::ScriptedBoxes::Box> shown;
    {
        Step step(dir / "log.txt");
        ScriptedBoxes boxes;
        EXPECT_EQ(WriteRegEntries(list, step.context), 0);
        shown = boxes.shown;
    }
    ASSERT_EQ(shown.size(), 2u);
    const std::string head = "Error writing registry value " + a + "\\" + longName + "=data. ";
    EXPECT_EQ(shown[0].caption + "|" + shown[0].text.substr(0, head.size()), "Error writing registry value|" + head);
    EXPECT_GT(shown[0].text.size(), head.size());  // the system's text follows, trimmed at the end
    EXPECT_EQ(shown[0].text.find_last_not_of(" \t\r\n"), shown[0].text.size() - 1);
    EXPECT_EQ(test::ReadFileText(dir / "log.txt"), shown[0].text + "\r\n");
    EXPECT_EQ(shown[1].caption + "|" + shown[1].text,
              "Error opening registry key|Error opening registry key hkcu. " + SystemErrorText(ERROR_BAD_PATHNAME) +
                  ". \nDeployator end of work\n");
    EXPECT_EQ(shown[0].style, 0x40u);  // the information icon, both
    EXPECT_EQ(shown[1].style, 0x40u);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, kScratch + "\\A", "next").bytes, Bytes("\x07\0\0\0", 4));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kScratch + "\\C"));
}

TEST_F(Registry, KeyTreesDeleted) {
    const std::string s = kScratch;
    CreateKey(HKEY_CURRENT_USER, s + "\\Example\\Tool\\Sub", "v");
    CreateKey(HKEY_CURRENT_USER, s + "\\Kept\\Tool\\Sub");
    CreateKey(HKEY_CURRENT_USER, s + "\\Kept", "v");
    CreateKey(HKEY_CURRENT_USER, s + "\\Missing");
    CreateKey(HKEY_CURRENT_USER, "SAM\\Tool");  // a scratch key with a shared name
    ScratchDir dir;
    test::WriteFileText(dir / "keys.txt", "; what goes\r\n[-HKEY_CURRENT_USER\\" + s + "\\Example\\Tool]\r\n[HKCU\\" +
                                              s + "\\Kept\\Tool]\r\n[HKCU\\" + s + "\\Missing\\Gone]\r\n");
    test::WriteFileText(dir / "shared.txt", "[HKCU\\SAM\\Tool]\r\n[HKCU\\sam\\]\r\n[HKCU]\r\n");
    RegKeyList list;
    {
        Step step(dir / "log.txt");
        step.variables.programDirectory = dir.path() + "\\";
        ScriptedBoxes boxes;
        ASSERT_EQ(ParseDeleteRegEntries(list, "a=keys.txt\r\nb=shared.txt", step.variables), 1);
        ASSERT_EQ(list.count(), 6);
        EXPECT_EQ(DeleteRegKeys(list, step.context), 1);
        EXPECT_TRUE(boxes.shown.empty());
    }
    EXPECT_EQ(test::ReadFileText(dir / "log.txt"), "Refused to delete the shared registry key HKCU\\sam\\.\r\n");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, s + "\\Example"));  // emptied parent removed
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, s));                 // one level only
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, s + "\\Kept\\Tool"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, s + "\\Kept"));      // it holds a value
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, s + "\\Missing"));  // empty parent of a missing key
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SAM\\Tool"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "SAM"));  // shared: neither cleaned up nor deleted

    // Without a log the refusal is a box.
    Step quiet("");
    ScriptedBoxes boxes;
    RegKeyList root;
    root.keyPaths = {"HKEY_DYN_DATA\\"};
    DeleteRegKeys(root, quiet.context);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption + "|" + boxes.shown[0].text, "Error|Refused to delete the shared registry key HKEY_DYN_DATA\\.");
}

}  // namespace
}  // namespace dp
