#include "log/log_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/log_text.h"
#include "base/system_text.h"
#include "model/install_script.h"
#include "base/reporting_base.h"

namespace dp {
namespace {

// The bytes the function writes to a binary scratch file.
std::string Written(const std::function<void(std::FILE*)>& write) {
    std::FILE* file = std::tmpfile();
    if (!file) return "<no scratch file>";
    write(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

TEST(LogHeader, LinesWithAFixedClock) {
    LogHeaderFacts facts;
    facts.day = 5;
    facts.month = 12;
    facts.year = 2026;
    facts.hour = 9;
    facts.minute = 7;
    facts.computer = "BUILD%s";
    facts.user = "tester";
    facts.commandLine = "\"C:\\Setup\\deployator.exe\" -C=SETUP.INI -LFULL";
    const std::string common = "\n" + std::string(70, '=') +
                               "\n5.12.2026 9:7   Computer: BUILD%s  User: tester   \n"
                               "\"C:\\Setup\\deployator.exe\" -C=SETUP.INI -LFULL\n";
    EXPECT_EQ(Written([&](std::FILE* f) { WriteLogHeader(f, facts, LogLevel::Full); }), common + "LOGLEVEL = FULL\n");
    EXPECT_EQ(Written([&](std::FILE* f) { WriteLogHeader(f, facts, LogLevel::None); }), common);
    WriteLogHeader(nullptr, facts, LogLevel::Full);  // no file: nothing
}

TEST(LogLines, MessagesAndTextsAreWrittenUnformatted) {
    EXPECT_EQ(FormatLogMessage(5, 170, "C:\\App\\a.dll"),
              "Error deleting file C:\\App\\a.dll. " + SystemErrorText(5) + "\n");
    ReportingBase base;
    EXPECT_EQ(Written([&](std::FILE* f) {
                  base.LogMessage(0, 165, "setup.exe /q %s", f);
                  base.LogText(f, "100% %d\n");
                  base.LogMessage(0, 165, "ignored", nullptr);
                  base.LogText(nullptr, "ignored");
              }),
              "Running file setup.exe /q %s.\n100% %d\n");
}

TEST(LogPath, DirectoriesAndSizeLimit) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"C:\\A\\B\\kitup.log", {"C:\\A", "C:\\A\\B"}},
        {"C:\\kitup.log", {}},
        {"kitup.log", {}},
        {"C:\\A\\\\x.log", {"C:\\A", "C:\\A\\"}},
    };
    for (const auto& [path, dirs] : cases) EXPECT_EQ(LogDirectories(path), dirs) << path;
    EXPECT_EQ(LogSizeLimit(-1), -1);  // no limit
    EXPECT_EQ(LogSizeLimit(0x7fffffff), int64_t{0x7fffffff} * 1024);  // no 32-bit overflow
}

}  // namespace
}  // namespace dp
