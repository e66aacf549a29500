// A 64-bit run in parts: the refusal on a 32-bit system (through the seam
// that tells the system's bitness), the folders of both architectures, and
// key trees deleted in the 64-bit view. The whole run on Wine's 64-bit prefix
// (file calls on the 64-bit system folder among it) is shown end to end by
// sixty_four_bit.scn and sixty_four_bit_reboot.scn.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/driver_win32.h"
#include "base/registry_win32.h"
#include "base/target_architecture_win32.h"
#include "model/script_check.h"
#include "script/variable_table_win32.h"
#include "test_support.h"

namespace dp {
namespace {

using test::Exists;
using test::ReadFileText;
using test::ScratchDir;
using test::WriteFileText;

std::string Windows() {
    char buffer[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(buffer, sizeof buffer);
    return buffer;
}

// The system as a 32-bit one while it lives.
class ThirtyTwoBitSystem {
    Replaced<SystemBitnessFunction> bitness_{SetSystemBitnessForTesting, [] { return false; }};
};

// A script that asks for a 64-bit install, with a file and a value that a
// run would install, and a shortcut that no line installs (the check reads
// on to it).
struct SixtyFourBitScript {
    SixtyFourBitScript() {
        CreateDirectoryA((dir / "pkg").c_str(), nullptr);
        WriteFileText(dir / "pkg\\a.txt", "a");
        WriteFileText(dir / "v.reg", "[HKEY_CURRENT_USER\\Software\\DeployatorX64Test]\r\n\"v\"=\"1\"\r\n");
        WriteFileText(script, "[Parameters]\r\nLOGLEVEL=FULL\r\nLOGFILE=" + dir / "setup.log" +
                                  "\r\nARCHITECTURE=X64\r\n[InstallFiles]\r\n" + dir / "app\\a.txt=" + dir / "pkg\\a.txt" +
                                  "\r\n[InstallRegEntries]\r\nV=" + dir / "v.reg" + "\r\n[InstallShortcuts]\r\n" +
                                  dir / "Link=" + dir / "elsewhere.txt" + "\r\n");
    }
    int Run(const std::string& options) {
        std::string line = "-C=" + script + " " + options;
        return RunProgram(GetModuleHandleA(nullptr), line.data());
    }
    bool NothingChanged() const {
        return !Exists(dir / "app") && test::RegText(HKEY_CURRENT_USER, "Software\\DeployatorX64Test", "v") == "<none>";
    }

    ScratchDir dir;
    const std::string script = dir / "setup.ini";
    test::ScratchKey key{"Software\\DeployatorX64Test"};
};

const char kRefusal[] = "This installation needs 64-bit Windows; nothing was installed.";

// On a 32-bit system the script is refused once the log can tell it, before
// any item is read: in a quiet run a log line and 1633, in a plan and a
// verification 1633 and no report, in a windowed run the box alone (no
// second box for the reading) and 0. The check reads on and warns.
TEST(SixtyFourBit, RefusedOnAThirtyTwoBitSystem) {
    const ThirtyTwoBitSystem system;
    SixtyFourBitScript s;

    EXPECT_EQ(s.Run("-QUIET"), 1633);
    const std::string log = ReadFileText(s.dir / "setup.log");
    EXPECT_NE(log.find(std::string("[Message] ") + kRefusal + " -> OK\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("exit code 1633\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("ARCHITECTURE = X64"), std::string::npos) << log;
    EXPECT_TRUE(s.NothingChanged());

    EXPECT_EQ(s.Run("-PLAN=" + s.dir / "plan.tsv"), 1633);
    EXPECT_FALSE(Exists(s.dir / "plan.tsv"));
    EXPECT_EQ(s.Run("-VERIFY=" + s.dir / "verify.tsv"), 1633);
    EXPECT_FALSE(Exists(s.dir / "verify.tsv"));

    {
        test::BoxRecorder boxes;
        EXPECT_EQ(s.Run(""), 0);
        EXPECT_EQ(boxes.boxes, std::vector<std::string>{std::string("|") + kRefusal + "|0"});
    }
    EXPECT_TRUE(s.NothingChanged());

    bool warned = false, readOn = false;
    for (const Finding& f : CheckScript(s.script, "setup.ini")) {
        warned = warned || (f.line == 4 && f.severity == Severity::Warning && f.text.find("32-bit") != std::string::npos);
        readOn = readOn || f.text.find("elsewhere.txt") != std::string::npos;
    }
    EXPECT_TRUE(warned);
    EXPECT_TRUE(readOn);
    EXPECT_FALSE(SixtyFourBitTargets());
}

// The folders of both architectures: on a 64-bit system the 32-bit ones are
// those this process is given (its own Program Files, the WOW64 system
// folder), the 64-bit ones the 64-bit registry view's Program Files and the
// system folder's alias; on a 32-bit system each 64-bit folder is the
// 32-bit one.
TEST(SixtyFourBit, FoldersOfBothArchitectures) {
    char wow64[MAX_PATH + 1] = {};
    ASSERT_GT(GetSystemWow64DirectoryA(wow64, sizeof wow64), 0u) << "the tests need a 64-bit prefix";
    const std::string programFiles64 = test::RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                                     "ProgramFilesDir", KEY_WOW64_64KEY);
    VariableTable table;
    FillPredefined(table, PredefinedSystem{true, nullptr, true});
    ASSERT_EQ(table.count(), kPredefinedCount);
    EXPECT_EQ(table.values[kProgramFilesX86Entry], table.values[kProgramFilesEntry]);
    EXPECT_EQ(table.values[kProgramFilesX64Entry], programFiles64 + "\\");
    EXPECT_NE(table.values[kProgramFilesX64Entry], table.values[kProgramFilesX86Entry]);
    EXPECT_EQ(table.values[kWindowsSystemX86Entry], std::string(wow64) + "\\");
    EXPECT_EQ(table.values[kWindowsSystemX64Entry], Windows() + "\\Sysnative\\");

    FillPredefined(table, PredefinedSystem{true, nullptr, false});
    EXPECT_EQ(table.values[kProgramFilesX86Entry], table.values[kProgramFilesEntry]);
    EXPECT_EQ(table.values[kProgramFilesX64Entry], table.values[kProgramFilesEntry]);
    EXPECT_EQ(table.values[kWindowsSystemX86Entry], table.values[kWindowsSystemEntry]);
    EXPECT_EQ(table.values[kWindowsSystemX64Entry], table.values[kWindowsSystemEntry]);
}

// A key tree deleted in the 64-bit view goes with every level of it; the key
// of the same name in the 32-bit view stays.
TEST(SixtyFourBit, KeyTreesInTheSixtyFourBitView) {
    const char* const tree = "Software\\DeployatorX64Tree";
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        UniqueKey key;
        ASSERT_TRUE(CreateAndOpenKey(HKEY_LOCAL_MACHINE, std::string(tree) + "\\A\\B", KEY_WRITE | view, key).ok());
        RegSetValueExA(key.get(), "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    }
    const std::string a = std::string(tree) + "\\A";
    EXPECT_NE(DeleteKeyWithoutSubkeys(HKEY_LOCAL_MACHINE, a, KEY_WOW64_64KEY), ERROR_SUCCESS);  // B is below it
    EXPECT_EQ(DeleteKeyTree(HKEY_LOCAL_MACHINE, tree, KEY_WOW64_64KEY), ERROR_SUCCESS);
    EXPECT_EQ(test::RegText(HKEY_LOCAL_MACHINE, a + "\\B", "v", KEY_WOW64_64KEY), "<none>");
    EXPECT_EQ(test::RegText(HKEY_LOCAL_MACHINE, a + "\\B", "v", KEY_WOW64_32KEY), "x");
    EXPECT_EQ(DeleteKeyTree(HKEY_LOCAL_MACHINE, tree, KEY_WOW64_64KEY), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(DeleteKeyWithoutSubkeys(HKEY_LOCAL_MACHINE, a + "\\B", KEY_WOW64_32KEY), ERROR_SUCCESS);
    EXPECT_EQ(DeleteKeyTree(HKEY_LOCAL_MACHINE, tree, 0), ERROR_SUCCESS);  // the process's own view: the 32-bit one
    HKEY left = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, tree, 0, KEY_READ | KEY_WOW64_32KEY, &left), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace dp
