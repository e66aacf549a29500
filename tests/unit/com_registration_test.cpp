#include "items/com_registration.h"

#include <gtest/gtest.h>

#include "items/files/file_list.h"
#include "support/pe_image_builder.h"

namespace dp {
namespace {

// One item of each kind that matters, in the order the sections are read.
FileList MixedList() {
    struct Row {
        const char* path;
        int selected, deleteItem, registerFile, system, targetExists;
    };
    const Row rows[] = {
        {"C:\\a\\plain.txt", 1, 0, 0, 0, 1},      // [InstallFiles]
        {"C:\\a\\old.dll", 1, 1, 0, 0, 1},        // [DeleteFilesFirst]
        {"C:\\a\\oldsrv.dll", 1, 1, 1, 0, 1},     // [DeleteRegisterFiles]
        {"C:\\a\\gone.dll", 1, 1, 1, 0, 0},       // [DeleteRegisterFiles], not on disk
        {"C:\\a\\kept.dll", 0, 1, 1, 0, 1},       // unmarked delete item
        {"C:\\s\\sys.dll", 1, 0, 0, 1, 0},        // [InstallSystemFiles]
        {"C:\\s\\syssrv.dll", 1, 0, 1, 1, 0},     // [InstallSystemRegisterFiles]
        {"C:\\a\\srv.dll", 1, 0, 1, 0, 1},        // [InstallRegisterFiles]
        {"C:\\a\\unticked.dll", 0, 0, 1, 0, 1},   // unmarked server
        {"C:\\a\\always.dll", 1, 0, 1, 0, 0},     // [AlwaysInstallRegisterFiles]
    };
    FileList list;
    for (const Row& r : rows) {
        FileItem& it = list.items.emplace_back();
        it.targetPath = r.path;
        it.selected = static_cast<uint8_t>(r.selected);
        it.deleteItem = static_cast<uint8_t>(r.deleteItem);
        it.registerFile = static_cast<uint8_t>(r.registerFile);
        it.system = static_cast<uint8_t>(r.system);
        it.targetExists = static_cast<uint8_t>(r.targetExists);
    }
    return list;
}

TEST(ComRegistration, WhatEachListHolds) {
    const FileList list = MixedList();
    using Paths = std::vector<std::string>;
    EXPECT_EQ(ComServersToRegister(list), (Paths{"C:\\s\\syssrv.dll", "C:\\a\\srv.dll", "C:\\a\\always.dll"}));
    EXPECT_EQ(FilesToFinish(list), (Paths{"C:\\a\\plain.txt", "C:\\s\\sys.dll", "C:\\s\\syssrv.dll",
                                          "C:\\a\\srv.dll", "C:\\a\\always.dll"}));
    EXPECT_EQ(ComServersToUnregister(list), (Paths{"C:\\a\\oldsrv.dll"}));
    EXPECT_TRUE(ComServersToRegister(FileList{}).empty());
}

TEST(ComRegistration, StoredPathsAreWholeAndPaddedToTheRecordSize) {
    const struct {
        size_t length;
        size_t stored;
    } cases[] = {{0, 521}, {12, 521}, {520, 521}, {521, 522}, {600, 601}, {70000, 70001}};
    for (const auto& c : cases) {
        const std::string path = "C:\\" + std::string(c.length < 3 ? 0 : c.length - 3, 'p');
        const std::string data = StoredPathData(path.substr(0, c.length));
        EXPECT_EQ(data.size(), c.stored) << c.length;
        EXPECT_EQ(data.find_first_not_of('\0', c.length), std::string::npos) << c.length;
        EXPECT_EQ(PathFromStoredData(data), path.substr(0, c.length)) << c.length;
    }
    EXPECT_EQ(PathFromStoredData("C:\\x.dll"), "C:\\x.dll");  // no zero at all
}

TEST(ComRegistration, ValueNamesAreNumbersBelowTheCount) {
    const struct {
        const char* name;
        size_t count;
        int index;  // -1: ignored
    } cases[] = {{"0", 1, 0},    {"2", 3, 2},    {"3", 3, -1},         {"007", 8, 7},
                 {"", 3, -1},    {"-1", 3, -1},  {"1a", 3, -1},        {" 1", 3, -1},
                 {"x", 3, -1},   {"+1", 3, -1},  {"4294967297", 5, -1}, {"99999999999999999999", 5, -1}};
    for (const auto& c : cases) {
        size_t index = 99;
        const bool ok = ParseListIndex(c.name, c.count, index);
        EXPECT_EQ(ok ? static_cast<int>(index) : -1, c.index) << '"' << c.name << '"';
    }
}

TEST(ComRegistration, MachineTypeFromTheImageHeader) {
    using pe_test::Bytes;
    const Bytes image = pe_test::Image({});
    const std::string x86(image.begin(), image.end());
    std::string x64 = x86, arm64 = x86, farHeader = x86, badSignature = x86;
    x64[0x44] = '\x64';
    x64[0x45] = '\x86';
    arm64[0x44] = '\x64';
    arm64[0x45] = '\xaa';
    farHeader[0x3c] = '\xfc';  // the header would start at 0x1fc: its machine lies beyond
    farHeader[0x3d] = '\x01';
    badSignature[0x41] = 'X';
    const struct {
        const char* name;
        std::string head;
        uint16_t machine;
        bool sixtyFour;
    } cases[] = {
        {"x86", x86, 0x14c, false},
        {"x86-64", x64, 0x8664, true},
        {"ARM64", arm64, 0xaa64, true},
        {"header past the bytes", farHeader, 0, false},
        {"no PE signature", badSignature, 0, false},
        {"cut before the machine", x86.substr(0, 0x45), 0, false},
        {"cut before the header offset", x86.substr(0, 0x3e), 0, false},
        {"not an image", std::string(0x200, 'M'), 0, false},
        {"empty", "", 0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ImageMachine(c.head), c.machine) << c.name;
        EXPECT_EQ(IsSixtyFourBitMachine(ImageMachine(c.head)), c.sixtyFour) << c.name;
    }
}

TEST(ComRegistration, FailureReports) {
    EXPECT_EQ(ComposeComFailure("Error of loading library", "C:\\a b\\x.dll", "Not found.\r\n"),
              "Error of loading library C:\\a b\\x.dll. Not found.\r\n");
    EXPECT_EQ(ComposeComFailure("M", "C:\\x.dll, code " + HresultText(0x80070005u), ""),
              "M C:\\x.dll, code 0x80070005.");
    EXPECT_EQ(HresultText(0x8000ffffu), "0x8000FFFF");
}

}  // namespace
}  // namespace dp
