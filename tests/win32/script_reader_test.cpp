// The script reader over real script files: loading failures, the section
// order and the after-reboot subset, [Parameters] with the log path, and
// faults inside a section.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "app/run_flags.h"
#include "log/message_box.h"
#include "script/install_script.h"
#include "script/reporting_base.h"
#include "script/script_text.h"

namespace dp {
namespace {

struct Shown {
    std::string text, caption;
    unsigned style;
};

// Records every box (answering OK) and every section line; can make the
// reading fault when a given section header is shown.
class ReaderProbe : public ProgressSink {
public:
    enum class Fault { kNone, kThrow, kAccessViolation };

    ReaderProbe() {
        oldBoxes_ = SetMessageBoxHandler([this](const std::string& t, const std::string& c,
                                                unsigned s) {
            boxes.push_back({t, c, s});
            return kAnswerOk;
        });
        SetProgressSink(this);
    }
    ~ReaderProbe() override {
        SetProgressSink(nullptr);
        SetMessageBoxHandler(oldBoxes_);
        stopRequested = 0;
    }

    void FaultAt(const std::string& header, Fault fault, bool setStop) {
        faultHeader_ = header;
        fault_ = fault;
        setStop_ = setStop;
    }

    void ShowProgressLine(const std::string& text, int kind) override {
        if (kind != kSectionLine) return;
        sections.push_back(text);
        if (text != faultHeader_) return;
        if (setStop_) stopRequested = 1;
        if (fault_ == Fault::kThrow) throw std::bad_alloc();
        if (fault_ == Fault::kAccessViolation) {
            // Wine maps the lowest pages of a 32-bit process, so a null
            // pointer does not always fault there; this page always does.
            static void* page =
                VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
            *static_cast<int* volatile>(page) = 1;
        }
    }
    void PollStop(int, int, int32_t&) override {}

    std::vector<Shown> boxes;
    std::vector<std::string> sections;

private:
    MessageBoxHandler oldBoxes_;
    std::string faultHeader_;
    Fault fault_ = Fault::kNone;
    bool setStop_ = false;
};

class ScriptReader : public ::testing::Test {
protected:
    void SetUp() override {
        stopRequested = 0;
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        static int counter = 0;
        dir_ = std::string(temp) + "dp_reader_" + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(++counter) + "\\";
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
    }
    void TearDown() override {
        for (const std::string& f : files_) DeleteFileA(f.c_str());
        RemoveDirectoryA((dir_ + "logs").c_str());
        RemoveDirectoryA(dir_.c_str());
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = dir_ + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_TRUE(f);
        if (f) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        files_.push_back(path);
        return path;
    }
    // Every log the reader may open lands in the scratch folder.
    void ExpectLog(const std::string& path) { files_.push_back(path); }

    std::string dir_;
    std::vector<std::string> files_;
};

TEST_F(ScriptReader, UnreadableFileShowsThePathAndTheSystemText) {
    // A missing file, and a path too long for the system (taken whole, not cut).
    for (const std::string& path : {dir_ + "missing.ini", dir_ + std::string(600, 'x') + ".ini"}) {
        ReaderProbe probe;
        InstallScript script(dir_);
        EXPECT_EQ(script.ReadScript(path), 0);
        ASSERT_EQ(probe.boxes.size(), 1u);
        const std::string prefix = "Error opening ini file " + path + ".";
        EXPECT_EQ(probe.boxes[0].text.substr(0, prefix.size()), prefix);
        EXPECT_GT(probe.boxes[0].text.size(), prefix.size() + 1);  // the system's text follows
        EXPECT_EQ(probe.boxes[0].caption, "Error");
        EXPECT_EQ(probe.boxes[0].style, kBoxOk);
        EXPECT_TRUE(probe.sections.empty());
    }
}

TEST_F(ScriptReader, ParametersLineWithoutEqualsFailsTheReading) {
    ReaderProbe probe;
    InstallScript script(dir_);
    std::string path =
        Write("a.ini", "[Parameters]\r\nLOGLEVEL=FULL\r\nTESTINSTALL\r\n[Strings]\r\nA=1\r\n");
    EXPECT_EQ(script.ReadScript(path), 0);
    ASSERT_EQ(probe.boxes.size(), 1u);
    EXPECT_EQ(probe.boxes[0].text, "Error reading section of ini file [Parameters].");
    EXPECT_EQ(probe.boxes[0].caption, "");
    EXPECT_EQ(probe.sections, std::vector<std::string>{"[Parameters]"});
    EXPECT_EQ(script.logLevel, kLogFull);
    EXPECT_EQ(script.testInstall, 0);

    // The same failure after the user stopped: no message.
    ReaderProbe stopped;
    stopRequested = 1;
    InstallScript again(dir_);
    EXPECT_EQ(again.ReadScript(path), 0);
    EXPECT_TRUE(stopped.boxes.empty());
}

TEST_F(ScriptReader, DefaultsStayWithoutParameters) {
    ReaderProbe probe;
    InstallScript script(dir_);
    ExpectLog(dir_ + "kitup.log");
    std::string path = Write("a.ini", "[Strings]\r\n");
    EXPECT_EQ(script.ReadScript(path), 1);
    EXPECT_TRUE(probe.boxes.empty());
    EXPECT_EQ(script.logLevel, kLogShort);
    EXPECT_EQ(script.logSizeKB, 2048);
    EXPECT_EQ(script.testInstall, 0);
    EXPECT_EQ(script.logPath, dir_ + "kitup.log");
}

TEST_F(ScriptReader, CommentsJoinLinesAndABareLogNameGoesToTheProgramDirectory) {
    ReaderProbe probe;
    InstallScript script(dir_);
    ExpectLog(dir_ + "setup.log");
    std::string path = Write("a.ini",
                             "; heading\r\n[Parameters]\r\n"
                             "LOGLEVEL=FULL ; the next line is joined to this one\r\n"
                             "LOGSIZE=64\r\n\r\n\r\n"
                             "LOGFILE=  setup.log \r\n"
                             "INSTALLTYPE=TESTINSTALL\r\n");
    EXPECT_EQ(script.ReadScript(path), 1);
    EXPECT_TRUE(probe.boxes.empty());
    EXPECT_EQ(script.logLevel, kLogFull);
    EXPECT_EQ(script.logSizeKB, 2048);  // its line went into the LOGLEVEL value
    EXPECT_EQ(script.testInstall, 1);
    EXPECT_EQ(script.logPath, dir_ + "setup.log");
}

TEST_F(ScriptReader, LogNameWithABackslashIsKept) {
    ReaderProbe probe;
    InstallScript script(dir_);
    ExpectLog(dir_ + "logs\\run.log");
    std::string path = Write("a.ini", "[Parameters]\r\nLOGFILE=" + dir_ + "logs\\run.log\r\n");
    EXPECT_EQ(script.ReadScript(path), 1);
    EXPECT_EQ(script.logPath, dir_ + "logs\\run.log");
}

TEST_F(ScriptReader, ZeroByteEndsTheScript) {
    ReaderProbe probe;
    InstallScript script(dir_);
    ExpectLog(dir_ + "kitup.log");
    std::string path =
        Write("a.ini", std::string("[Parameters]\r\nLOGSIZE=5\r\n\0[Strings]\r\nbroken\r\n", 40));
    EXPECT_EQ(script.ReadScript(path), 1);
    EXPECT_EQ(script.logSizeKB, 5);
    EXPECT_EQ(probe.sections, std::vector<std::string>{"[Parameters]"});
}

// A script with every header, in the reverse of the reading order.
std::string AllHeadersReversed() {
    std::string text;
    for (int i = kSectionCount - 1; i >= 0; --i) text += std::string(kSectionHeaders[i]) + "\r\n";
    return text;
}

TEST_F(ScriptReader, SectionsAreReadInTheirFixedOrder) {
    ReaderProbe probe;
    InstallScript script(dir_);
    ExpectLog(dir_ + "kitup.log");
    std::string path = Write("a.ini", AllHeadersReversed());
    EXPECT_EQ(script.ReadScript(path), 1);
    EXPECT_EQ(probe.sections,
              std::vector<std::string>(kSectionHeaders, kSectionHeaders + kSectionCount));
}

TEST_F(ScriptReader, AfterARebootOnlyTheLastFiveSectionsFollowStrings) {
    ReaderProbe probe;
    InstallScript script(dir_);
    script.afterReboot = 1;
    ExpectLog(dir_ + "kitup.log");
    std::string path = Write("a.ini", AllHeadersReversed());
    EXPECT_EQ(script.ReadScript(path), 1);
    EXPECT_EQ(probe.sections,
              (std::vector<std::string>{"[Parameters]", "[Strings]", "[DeleteShortcuts]",
                                        "[CreateDirectory]", "[DeleteDirectory]",
                                        "[DeleteFilesEnd]", "[RunFileEnd]"}));
}

TEST_F(ScriptReader, FaultInASectionEndsTheReadingWithMessage168) {
    struct Case {
        const char* header;
        ReaderProbe::Fault fault;
        bool stopPending;
        const char* box;  // nullptr: no box
    } cases[] = {
        {"[InstallFiles]", ReaderProbe::Fault::kThrow, false,
         "Access violation at reading section of ini file [InstallFiles]."},
        {"[RunFileEnd]", ReaderProbe::Fault::kAccessViolation, false,
         "Access violation at reading section of ini file [RunFileEnd]."},
        {"[InstallFiles]", ReaderProbe::Fault::kAccessViolation, true, nullptr},
        // [Parameters] reports its fault even with a Stop pending.
        {"[Parameters]", ReaderProbe::Fault::kAccessViolation, true,
         "Access violation at reading section of ini file [Parameters]."},
        // [Strings] has no message of its own.
        {"[Strings]", ReaderProbe::Fault::kThrow, false, nullptr},
    };
    for (const Case& c : cases) {
        ReaderProbe probe;
        probe.FaultAt(c.header, c.fault, c.stopPending);
        InstallScript script(dir_);
        ExpectLog(dir_ + "kitup.log");
        std::string path = Write("a.ini", AllHeadersReversed());
        EXPECT_EQ(script.ReadScript(path), 0) << c.header;
        ASSERT_FALSE(probe.sections.empty());
        EXPECT_EQ(probe.sections.back(), c.header);  // nothing read after it
        if (c.box) {
            ASSERT_EQ(probe.boxes.size(), 1u) << c.header;
            EXPECT_EQ(probe.boxes[0].text, c.box);
            EXPECT_EQ(probe.boxes[0].caption, "");
        } else {
            EXPECT_TRUE(probe.boxes.empty()) << c.header;
        }
    }
}

}  // namespace
}  // namespace dp
