#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "log/log_file.h"
#include "log/log_format.h"
#include "log/system_text.h"
#include "script/install_script.h"
#include "script/reporting_base.h"
#include "script/variable_table.h"

namespace dp {
namespace {

// A binary scratch file, so the bytes read back are exactly those written.
class ScratchLog {
public:
    ScratchLog() {
        path_ = std::filesystem::temp_directory_path() /
                ("dp_log_test_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".log");
        file = std::fopen(path_.string().c_str(), "w+b");
    }
    ~ScratchLog() {
        if (file) std::fclose(file);
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    std::string Contents() {
        std::fflush(file);
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::FILE* file = nullptr;

private:
    std::filesystem::path path_;
};

LogHeaderFacts FixedFacts() {
    LogHeaderFacts facts;
    facts.day = 5;
    facts.month = 12;
    facts.year = 2026;
    facts.hour = 9;
    facts.minute = 7;
    facts.computer = "BUILD%s";
    facts.user = "tester";
    facts.commandLine = "\"C:\\Setup\\deployator.exe\" -C=SETUP.INI -LFULL";
    return facts;
}

TEST(LogHeader, LinesForEachLevel) {
    const std::string common =
        "\n======================================================================\n"
        "5.12.2026 9:7   Computer: BUILD%s  User: tester   \n"
        "\"C:\\Setup\\deployator.exe\" -C=SETUP.INI -LFULL\n";
    const struct {
        int level;
        std::string last;
    } cases[] = {{kLogFull, "LOGLEVEL = FULL\n"}, {kLogShort, "LOGLEVEL = SHORT\n"}, {kLogNone, ""}};
    for (const auto& c : cases) {
        ScratchLog log;
        ASSERT_TRUE(log.file);
        WriteLogHeader(log.file, FixedFacts(), c.level);
        EXPECT_EQ(log.Contents(), common + c.last) << c.level;
    }
    LogHeaderFacts unnamed = FixedFacts();
    unnamed.computer.clear();
    unnamed.user.clear();
    unnamed.minute = 59;
    ScratchLog log;
    WriteLogHeader(log.file, unnamed, kLogShort);
    EXPECT_NE(log.Contents().find("\n5.12.2026 9:59   Computer:   User:    \n"), std::string::npos);
    WriteLogHeader(nullptr, FixedFacts(), kLogFull);  // no file: nothing
}

TEST(LogHeader, PredefinedVariableLines) {
    VariableTable table;
    for (int i = 0; i < kPredefinedCount; ++i)
        table.AddEntry(kPredefinedNames[i], "", "C:\\F" + std::to_string(i) + "%\\");
    table.AddEntry("EXTRA", "x", "not written");
    ScratchLog log;
    WritePredefinedVariables(log.file, table);
    std::string expected;
    for (int i = 0; i < kPredefinedCount; ++i)
        expected += std::string(kPredefinedNames[i]) + " = C:\\F" + std::to_string(i) + "%\\\n";
    EXPECT_EQ(log.Contents(), expected);
}

TEST(LogLines, MessageAndTextLines) {
    EXPECT_EQ(FormatLogMessage(0, 169, "C:\\App\\a.dll"), "Deleting file C:\\App\\a.dll.\n");
    EXPECT_EQ(FormatLogMessage(5, 170, "C:\\App\\a.dll"),
              "Error deleting file C:\\App\\a.dll. " + SystemErrorText(5) + "\n");
    EXPECT_EQ(FormatLogMessage(0, 176, "Arial"), "Error setting or deleting font substitutes for:  Arial.\n");

    ReportingBase base;
    ScratchLog log;
    base.LogMessage(0, 165, "setup.exe /q %s", log.file);
    base.LogText(log.file, "\n[InstallFiles]\n");
    base.LogText(log.file, "100% %d\n");
    base.LogMessage(0, 165, "ignored", nullptr);
    base.LogText(nullptr, "ignored");
    EXPECT_EQ(log.Contents(), "Running file setup.exe /q %s.\n\n[InstallFiles]\n100% %d\n");
}

TEST(LogPath, DirectoriesFromTheSecondBackslashOn) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"C:\\A\\B\\kitup.log", {"C:\\A", "C:\\A\\B"}},
        {"C:\\kitup.log", {}},
        {"kitup.log", {}},
        {"C:\\A\\", {"C:\\A"}},
        {"C:\\A\\\\x.log", {"C:\\A", "C:\\A\\"}},
    };
    for (const auto& [path, dirs] : cases) EXPECT_EQ(LogDirectories(path), dirs) << path;
}

TEST(LogPath, SizeLimitInBytes) {
    EXPECT_EQ(LogSizeLimit(4), 4096);
    EXPECT_EQ(LogSizeLimit(0), 0);
    EXPECT_EQ(LogSizeLimit(-1), 0);
    EXPECT_EQ(LogSizeLimit(0x7fffffff), int64_t{0x7fffffff} * 1024);  // no 32-bit overflow
}

}  // namespace
}  // namespace dp
