#include "base/path_policy.h"

#include <gtest/gtest.h>

#include <string>

namespace dp {
namespace {

TEST(PathPolicy, ReservedDeviceNamesInTheLastPart) {
    const struct {
        std::string path;
        bool device;
    } cases[] = {
        {"C:\\app\\COM1", true},        {"C:\\app\\aux", true},          {"C:\\app\\Com9.txt", true},
        {"C:\\app\\lpt1.log.bak", true}, {"C:\\app\\CON .txt", true},     {"C:\\app\\nul.", true},
        {"C:\\app\\PRN:stream", true},   {"C:/app/aux.c", true},          {"AUX", true},
        {"\\\\.\\PhysicalDrive0", true}, {"//./COM3", true},
        {"C:\\COM1\\file.txt", false},   {"C:\\app\\COM10", false},       {"C:\\app\\COM0", false},
        {"C:\\app\\CONSOLE", false},     {"C:\\app\\xaux.txt", false},    {"C:\\app\\.aux", false},
        {"C:\\app\\", false},            {"\\\\server\\share\\con1", false}, {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NamesDevice(c.path), c.device) << c.path;
        EXPECT_EQ(CheckPathText(c.path), c.device ? kErrorInvalidName : 0u) << c.path;
    }
    EXPECT_TRUE(IsReservedDeviceName(std::u16string_view(u"Lpt3.dat")));
    EXPECT_EQ(LastPathPart(std::u16string_view(u"C:\\a/b.txt")), u"b.txt");
}

TEST(PathPolicy, ZerosAndSizesNoWideFormCanHold) {
    EXPECT_EQ(CheckPathText(std::string("C:\\keep.txt\0junk", 16)), kErrorInvalidName);
    EXPECT_EQ(CheckPathText("C:\\" + std::string(4 * kMaxWidePath, 'x')), kErrorNameTooLong);
    EXPECT_EQ(CheckPathText("C:\\" + std::string(40000, 'x')), 0u);  // left to the wide form's length
}

TEST(PathPolicy, LongPathForm) {
    const struct {
        std::u16string full, form;
    } cases[] = {
        {u"C:\\a\\b.txt", u"\\\\?\\C:\\a\\b.txt"},
        {u"z:\\", u"\\\\?\\z:\\"},
        {u"\\\\server\\share\\x", u"\\\\?\\UNC\\server\\share\\x"},
        {u"\\\\?\\C:\\given", u"\\\\?\\C:\\given"},
        {u"\\\\.\\COM1", u""},
        {u"relative\\x", u""},
        {u"C:relative", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(LongPathForm(c.full), c.form);
}

// The leading folder of a path, replaced: whole parts only, ASCII letters
// without regard to case, final backslashes of the folders ignored.
TEST(PathPolicy, ReplaceLeadingFolder) {
    const std::string sys = "C:\\Windows\\System32", alias = "C:\\Windows\\Sysnative\\";
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Windows\\System32\\x.dll", "C:\\Windows\\Sysnative\\x.dll"},
        {"c:\\WINDOWS\\system32\\drivers\\x.sys", "C:\\Windows\\Sysnative\\drivers\\x.sys"},
        {"C:\\Windows\\System32", "C:\\Windows\\Sysnative"},
        {"C:\\Windows\\System32\\", "C:\\Windows\\Sysnative\\"},
        {"C:\\Windows\\System320\\x.dll", "C:\\Windows\\System320\\x.dll"},  // another folder
        {"C:\\Windows\\System3", "C:\\Windows\\System3"},
        {"D:\\Windows\\System32\\x", "D:\\Windows\\System32\\x"},
        {"C:\\Windows\\SysWOW64\\x", "C:\\Windows\\SysWOW64\\x"},
        {"", ""},
    };
    for (const auto& [path, want] : cases) {
        EXPECT_EQ(ReplaceLeadingFolder(path, sys, alias), want) << path;
        EXPECT_EQ(IsInFolder(path, sys), want != path) << path;
    }
    EXPECT_EQ(ReplaceLeadingFolder(std::u16string_view(u"\\\\?\\C:\\windows\\sysnative\\x"), u"\\\\?\\C:\\Windows\\Sysnative",
                                   u"\\\\?\\C:\\Windows\\System32"),
              u"\\\\?\\C:\\Windows\\System32\\x");
    EXPECT_FALSE(IsInFolder(std::u16string_view(u"\\\\?\\C:\\x"), u""));  // no folder is no prefix
    EXPECT_EQ(ReplaceLeadingFolder("C:\\x", "", "D:"), "C:\\x");
}

}  // namespace
}  // namespace dp
