// Registration files read from disk and their values written into the real
// registry, under a scratch key: the failures. Every type written byte for
// byte, broken files among good ones, values with variables and the deletion
// of key trees are shown end to end by registry.scn.
#include <windows.h>

#include <gtest/gtest.h>

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

class Registry : public ::testing::Test {
protected:
    test::ScratchKey scratch_{kScratch};
};

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
    RunTally tally;
    step.context.tally = &tally;
    WorkItems work;
    AddRegistryValues(list, work);
    EXPECT_TRUE(step.Run(std::move(work)));
    // The value with the long name, and the two after the key that did not open.
    EXPECT_EQ(tally.done, 1);
    EXPECT_EQ(tally.failed, 3);
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
    EXPECT_EQ(test::ReadRegValue(HKEY_CURRENT_USER, kScratch + "\\A", "next").bytes, std::string("\x07\0\0\0", 4));
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kScratch + "\\C"));
}

// Deleting a root is refused; without a log the refusal is a box. (Which key
// trees go, and the refusal in the log, are shown by registry.scn.)
TEST_F(Registry, RootRefusedInABoxWithoutALog) {
    test::Step quiet(LogLevel::None);
    test::BoxRecorder boxes;
    RegKeyList root;
    root.keyPaths = {"HKEY_DYN_DATA\\"};
    RunTally tally;
    quiet.context.tally = &tally;
    WorkItems work;
    AddRegistryKeyDeletions(root, work);
    EXPECT_TRUE(quiet.Run(std::move(work)));
    EXPECT_EQ(tally.failed, 1);  // refused counts as failed
    EXPECT_EQ(boxes.boxes, Texts{"Error|Refused to delete the shared registry key HKEY_DYN_DATA\\.|0"});
}

}  // namespace
}  // namespace dp
