#include "log/log_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/log_text.h"
#include "base/reporting_base.h"
#include "base/system_text.h"
#include "log/error_messages.h"
#include "model/install_script.h"
#include "support/recorders.h"

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

TEST(ErrorBoxes, CompositionCaptionStyleAndAnswer) {
    ASSERT_NE(SystemErrorText(5), "");
    const struct {
        std::function<int()> show;
        std::string box;  // caption|text|style
    } cases[] = {
        {[] { return ShowError(0, 164, kBoxOk); }, "|Error reading of ini file.|0"},
        {[] { return ShowError(5, 135, kBoxOk); },
         "Error|Error of closing application. " + SystemErrorText(5) + "|0"},
        {[] { return ShowErrorDetail(0, 160, "NAME", kBoxOkCancel); }, "|Undefined variable NAME.|1"},
        {[] { return ShowErrorDetail(3, 148, "C:\\Logs", kBoxIconInformation); },
         "Error|Error of creation directory C:\\Logs. " + SystemErrorText(3) + "|64"},
        {[] { return ShowErrorText(0, "100% %s by the caller", kBoxOk); }, "|100% %s by the caller.|0"},
        {[] { return ShowErrorText(112, "Disk", kBoxOk); }, "Error|Disk. " + SystemErrorText(112) + "|0"},
        {[] { return ShowError(0, 9999, kBoxOk); }, "|.|0"},  // a message the table lacks
        // Cut to 780 characters: the detail, and the full stop of a text of 780.
        {[] { return ShowErrorDetail(2, 146, std::string(2000, 'd'), kBoxOk); },
         "Error|" + ("Error opening ini file " + std::string(2000, 'd')).substr(0, 780) + "|0"},
        {[] { return ShowErrorText(0, std::string(779, 't'), kBoxOk); }, "|" + std::string(779, 't') + ".|0"},
        {[] { return ShowErrorText(0, std::string(780, 't'), kBoxOk); }, "|" + std::string(780, 't') + "|0"},
    };
    for (const auto& c : cases) {
        test::BoxRecorder boxes(kAnswerCancel);
        EXPECT_EQ(c.show(), kAnswerCancel);
        EXPECT_EQ(boxes.boxes, std::vector<std::string>{c.box});
    }
}

}  // namespace
}  // namespace dp
