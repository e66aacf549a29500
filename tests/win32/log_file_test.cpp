// The log file on a real file system: directories along the path, the header
// as the running process writes it, appending runs, the after-reboot and NONE
// levels, the boxes for failures, and the size limit cut in place.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "file_test_support.h"
#include "log/log_file.h"
#include "log/message_box.h"
#include "log/system_text.h"
#include "script/install_script.h"

namespace dp {
namespace {

using test::Exists;
using test::ReadFileText;
using test::ScratchDir;
using test::WriteFileText;

struct Shown {
    std::string text, caption;
    unsigned style;
};

class BoxLog {
public:
    BoxLog() {
        old_ = SetMessageBoxHandler([this](const std::string& t, const std::string& c, unsigned s) {
            shown.push_back({t, c, s});
            return kAnswerOk;
        });
    }
    ~BoxLog() { SetMessageBoxHandler(old_); }
    std::vector<Shown> shown;

private:
    MessageBoxHandler old_;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

TEST(OpenLog, CreatesTwoDirectoryLevelsAndWritesTheHeaderLineByLine) {
    ScratchDir dir;
    BoxLog boxes;
    InstallScript script(dir.path() + "\\");
    script.variables->InitPredefined();
    script.logPath = dir / "logs\\deep\\kitup.log";
    ASSERT_EQ(script.OpenLog(), 1);
    EXPECT_TRUE(boxes.shown.empty());

    const std::string text = ReadFileText(script.logPath);
    // Text mode: every line feed became CR LF; no bare line feed is left.
    EXPECT_EQ(std::regex_search(text, std::regex("[^\r]\n")), false);
    std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 5u + kPredefinedCount);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], std::string(70, '='));
    const LogHeaderFacts facts = CurrentLogHeaderFacts();
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[2], m,
                                 std::regex("([1-9][0-9]?)\\.([1-9][0-9]?)\\.([0-9]{4}) "
                                            "([1-9]?[0-9]):([1-9]?[0-9])   Computer: (.*)  User: (.*)   ")))
        << lines[2];
    EXPECT_EQ(m[6].str(), facts.computer);
    EXPECT_EQ(m[7].str(), facts.user);
    EXPECT_EQ(std::stoi(m[3].str()), facts.year);
    EXPECT_EQ(lines[3], GetCommandLineA());
    EXPECT_EQ(lines[4], "LOGLEVEL = SHORT");
    for (int i = 0; i < kPredefinedCount; ++i)
        EXPECT_EQ(lines[5 + i], std::string(kPredefinedNames[i]) + " = " + script.variables->values[i]);
}

TEST(OpenLog, HeaderFactsComeFromTheSystem) {
    SYSTEMTIME before{};
    GetLocalTime(&before);
    LogHeaderFacts facts = CurrentLogHeaderFacts();
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof computer;
    GetComputerNameA(computer, &size);
    char user[257] = {};
    size = sizeof user;
    GetUserNameA(user, &size);
    EXPECT_EQ(facts.computer, computer);
    EXPECT_EQ(facts.user, user);
    EXPECT_FALSE(facts.user.empty());
    EXPECT_EQ(facts.commandLine, GetCommandLineA());
    EXPECT_EQ(facts.year, before.wYear);
    EXPECT_EQ(facts.month, before.wMonth);
    EXPECT_TRUE(facts.hour >= 0 && facts.hour < 24 && facts.minute >= 0 && facts.minute < 60);
}

TEST(OpenLog, TwoRunsAppendTwoHeadersAndFullLevelIsNamed) {
    ScratchDir dir;
    InstallScript script(dir.path() + "\\");
    script.logPath = dir / "kitup.log";
    script.logLevel = kLogFull;
    ASSERT_EQ(script.OpenLog(), 1);
    script.logLevel = kLogShort;
    ASSERT_EQ(script.OpenLog(), 1);
    const std::string text = ReadFileText(script.logPath);
    const std::string rule = "\r\n" + std::string(70, '=') + "\r\n";
    ASSERT_EQ(text.compare(0, rule.size(), rule), 0);
    size_t second = text.find(rule, 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(text.find(rule, second + 1), std::string::npos);
    EXPECT_NE(text.find("LOGLEVEL = FULL\r\n"), std::string::npos);
    EXPECT_GT(text.find("LOGLEVEL = SHORT\r\n"), second);
}

TEST(OpenLog, NoneCreatesNothingAndAfterRebootOnlyTheDirectories) {
    ScratchDir dir;
    InstallScript none(dir.path() + "\\");
    none.logLevel = kLogNone;
    none.logPath = dir / "a\\b\\kitup.log";
    EXPECT_EQ(none.OpenLog(), 1);
    EXPECT_FALSE(Exists(dir / "a"));

    InstallScript after(dir.path() + "\\");
    after.afterReboot = 1;
    after.logPath = dir / "a\\b\\kitup.log";
    EXPECT_EQ(after.OpenLog(), 1);
    EXPECT_TRUE(Exists(dir / "a\\b"));
    EXPECT_FALSE(Exists(after.logPath));
}

TEST(OpenLog, FailuresShowTheirBoxesAndTheRestIsStillTried) {
    ScratchDir dir;
    WriteFileText(dir / "file", "x");
    BoxLog boxes;
    InstallScript script(dir.path() + "\\");
    // "file" exists (as a file), "file\sub" cannot be created, nor can the log.
    script.logPath = dir / "file\\sub\\kitup.log";
    EXPECT_EQ(script.OpenLog(), 0);
    ASSERT_EQ(boxes.shown.size(), 2u);
    const std::string sub = dir / "file\\sub";
    EXPECT_EQ(boxes.shown[0].text.rfind("Error of creation directory " + sub + ". ", 0), 0u)
        << boxes.shown[0].text;
    EXPECT_GT(boxes.shown[0].text.size(), ("Error of creation directory " + sub + ". ").size());
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_EQ(boxes.shown[0].style, 0x40u);
    EXPECT_EQ(boxes.shown[1].text, "Error of creation log file " + script.logPath + ".");
    EXPECT_EQ(boxes.shown[1].caption, "");
    EXPECT_EQ(boxes.shown[1].style, 0x40u);
}

// ---- LimitLogSize -----------------------------------------------------------

std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return s;
}

// Everything a handle opened before the cut reads now: a file cut in place
// shows its new content through it; a file deleted and made anew would not.
std::string ReadThrough(HANDLE h) {
    std::string text(GetFileSize(h, nullptr), '\0');
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    DWORD read = 0;
    if (!text.empty()) ReadFile(h, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    text.resize(read);
    return text;
}

TEST(LimitLogSize, KeepsExactlyTheLastBytesInTheSameFile) {
    ScratchDir dir;
    const std::string path = dir / "kitup.log";
    const struct {
        size_t size;
        int32_t kb;
        size_t kept;
    } cases[] = {
        {5000, 4, 4096},            // cut to the last 4096 bytes
        {3000, 4, 3000},            // below the limit: untouched
        {4096, 4, 4096},            // at the limit: untouched
        {5000, 0, 0},               // 0 empties the log
        {3 * 1024 * 1024 + 17, 1024, 1024 * 1024},  // more than one chunk moved
        {100, -3, 0},               // a negative maximum keeps nothing
    };
    for (const auto& c : cases) {
        const std::string original = Pattern(c.size);
        WriteFileText(path, original);
        HANDLE before = CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(before, INVALID_HANDLE_VALUE);
        LimitLogSize(path, c.kb);
        const std::string now = ReadFileText(path);
        EXPECT_EQ(now.size(), c.kept) << c.size << "/" << c.kb;
        EXPECT_TRUE(now == original.substr(c.size - c.kept)) << c.size << "/" << c.kb;
        EXPECT_TRUE(ReadThrough(before) == now) << "the file was made anew";
        CloseHandle(before);
    }
}

TEST(LimitLogSize, MissingOrLockedFilesAreLeftAlone) {
    ScratchDir dir;
    LimitLogSize(dir / "missing.log", 1);
    EXPECT_FALSE(Exists(dir / "missing.log"));

    const std::string path = dir / "kitup.log";
    WriteFileText(path, Pattern(5000));
    {
        test::LockedFile lock(path);
        ASSERT_TRUE(lock.ok());
        LimitLogSize(path, 4);
    }
    EXPECT_EQ(ReadFileText(path), Pattern(5000));
}

}  // namespace
}  // namespace dp
