// Registration files read from disk and their values written into the real
// registry and read back, under scratch keys of HKCU and HKLM. Broken files
// among good ones, values with variables and the deletion of key trees are
// shown end to end by registry.scn.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/system_text.h"
#include "items/registry/registry_items.h"
#include "test_support.h"

namespace dp {
namespace {

using test::ScratchDir;
using Texts = std::vector<std::string>;

const std::string kScratch = "Software\\DeployatorTest" + std::to_string(GetCurrentProcessId());

// The scratch keys: kScratch under HKCU and HKLM.
class Registry : public ::testing::Test {
protected:
    test::ScratchKey user_{kScratch}, machine_{kScratch, HKEY_LOCAL_MACHINE};
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
    test::Step step(LogLevel::None);
    step.variables.programDirectory = dir.path() + "\\";
    step.variables.AddEntry("WINDOWS_PATH", "", "C:\\W\\");
    RegEntryList list;
    test::BoxRecorder boxes;
    ASSERT_EQ(ParseInstallRegEntries(list, "R1=one.reg\r\nR2 = " + dir.path() + "\\two.reg", step.variables), 1);
    ASSERT_EQ(WriteRegEntries(list, step.context), 1);
    EXPECT_TRUE(boxes.boxes.empty());

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
    for (const auto& w : want)
        EXPECT_EQ(test::ReadRegValue(w.root, w.subkey, w.name), (test::RegValue{w.type, w.bytes})) << w.name;
}

TEST_F(Registry, SectionFailures) {
    ScratchDir dir;
    test::WriteFileText(dir / "good.reg", "[HKCU\\Software\\X]\r\n@=\"1\"\r\n");
    test::WriteFileText(dir / "bad.reg", "REGEDIT4\r\n[HKCU\\Software\\Y]\r\n@=\"2\"\r\n");
    VariableTable vars;
    vars.programDirectory = dir.path() + "\\";
    const std::string format = "Error|Wrong ini format in [InstallRegEntries] section|0";
    const struct {
        std::string section;
        int result;
        Texts boxes;
        int entries;
    } cases[] = {
        {"", 1, {}, 0},
        {"a=bad.reg\r\nb=good.reg", 1, {format}, 1},
        {"a=good.reg\r\nno equals sign\r\nb=good.reg", 0, {format}, 1},
        {"a=missing.reg\r\nb=good.reg", 0, {"Error|Error open reg file " + dir.path() + "\\missing.reg|0"}, 0},
    };
    for (const auto& c : cases) {
        test::BoxRecorder boxes;
        RegEntryList list;
        EXPECT_EQ(ParseInstallRegEntries(list, c.section, vars), c.result) << c.section;
        EXPECT_EQ(boxes.boxes, c.boxes) << c.section;
        EXPECT_EQ(list.count(), c.entries) << c.section;
    }
    // Each file is shown on the item line, and a Stop confirmed there ends the reading.
    test::ProgressRecorder progress(2);
    RegEntryList list;
    EXPECT_EQ(ParseInstallRegEntries(list, "a=good.reg\r\nb=good.reg", vars), 0);
    EXPECT_EQ(list.count(), 1);
    const std::string shown = "0:" + dir.path() + "\\good.reg";
    EXPECT_EQ(progress.events, (Texts{shown, "1/2", shown, "2/2"}));
}

// A value the system refuses (a name too long) is reported and the next one
// written; a lower-case root then stops the writing.
TEST_F(Registry, WriteFailures) {
    const std::string a = "HKCU\\" + kScratch + "\\A", longName(20000, 'n');
    RegEntryList list;
    list.Add(kRegSz, a, longName, "data");
    list.Add(kRegDword, a, "next", "7");
    list.Add(kRegSz, "hkcu\\" + kScratch + "\\B", "b", "2");
    list.Add(kRegSz, "HKCU\\" + kScratch + "\\C", "c", "3");
    test::Step step;
    test::BoxRecorder boxes;
    EXPECT_EQ(WriteRegEntries(list, step.context), 0);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    const std::string caption = "Error writing registry value|", box = boxes.boxes[0];
    ASSERT_TRUE(box.starts_with(caption) && box.ends_with("|64")) << box;
    const std::string text = box.substr(caption.size(), box.size() - caption.size() - 3);
    const std::string head = "Error writing registry value " + a + "\\" + longName + "=data. ";
    EXPECT_EQ(text.rfind(head, 0), 0u);
    EXPECT_GT(text.size(), head.size());  // the system's text follows, trimmed at the end
    EXPECT_EQ(text.find_last_not_of(" \t\r\n"), text.size() - 1);
    EXPECT_EQ(step.Log(), text + "\n");
    EXPECT_EQ(boxes.boxes[1], "Error opening registry key|Error opening registry key hkcu. " +
                                  SystemErrorText(ERROR_BAD_PATHNAME) + ". \nDeployator end of work\n|64");
    EXPECT_EQ(test::ReadRegValue(HKEY_CURRENT_USER, kScratch + "\\A", "next").bytes, Bytes("\x07\0\0\0", 4));
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kScratch + "\\C"));
}

// Deleting a root is refused; without a log the refusal is a box. (Which key
// trees go, and the refusal in the log, are shown by registry.scn.)
TEST_F(Registry, RootRefusedInABoxWithoutALog) {
    test::Step quiet(LogLevel::None);
    test::BoxRecorder boxes;
    RegKeyList root;
    root.keyPaths = {"HKEY_DYN_DATA\\"};
    EXPECT_EQ(DeleteRegKeys(root, quiet.context), 1);
    EXPECT_EQ(boxes.boxes, Texts{"Error|Refused to delete the shared registry key HKEY_DYN_DATA\\.|0"});
}

}  // namespace
}  // namespace dp
