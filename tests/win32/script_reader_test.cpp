// The script reader over real script files: the section order and the
// after-reboot subset, and faults in a section. The log path it takes from
// the script, and a script that cannot be read, are shown by good_script.scn
// and missing_script.scn.
#include <algorithm>
#include <windows.h>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/run_flags.h"
#include "base/system_text.h"
#include "model/install_script.h"
#include "model/script_sections.h"
#include "script/script_text.h"
#include "test_support.h"

namespace dp {
namespace {

using test::ScratchDir;

// Records every box (answering OK) and every section line; can make the
// reading fault when a given section header is shown.
class ReaderProbe : public test::ProgressRecorder {
public:
    enum class Fault { kNone, kThrow, kOutOfMemory, kAccessViolation };

    ReaderProbe(std::string header = "", Fault fault = Fault::kNone, bool setStop = false)
        : faultHeader_(std::move(header)), fault_(fault), setStop_(setStop) {}
    ~ReaderProbe() override { stopRequested = 0; }
    void ShowProgressLine(const std::string& text, int kind) override {
        if (kind != kSectionLine) return;
        sections.push_back(text);
        if (text != faultHeader_) return;
        if (setStop_) stopRequested = 1;
        if (fault_ == Fault::kThrow) throw std::runtime_error("fault");
        if (fault_ == Fault::kOutOfMemory) throw std::bad_alloc();
        if (fault_ == Fault::kAccessViolation) {
            // Wine maps the lowest pages of a 32-bit process, so a null
            // pointer does not always fault there; this page always does.
            static void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
            *static_cast<int* volatile>(page) = 1;
        }
    }

    test::BoxRecorder boxes;
    std::vector<std::string> sections;

private:
    std::string faultHeader_;
    Fault fault_;
    bool setStop_;
};

// A script with every header, in the reverse of the reading order.
std::string AllHeadersReversed() {
    std::string text;
    for (int i = kScriptSectionCount - 1; i >= 0; --i) text += std::string(kScriptSections[i].header) + "\r\n";
    return text;
}

TEST(ScriptReader, SectionsInTheirFixedOrderAndTheAfterRebootSubset) {
    ScratchDir dir;
    test::WriteFileText(dir / "a.ini", AllHeadersReversed());
    for (uint8_t afterReboot : {0, 1}) {
        ReaderProbe probe;
        InstallScript script(dir.path() + "\\");
        script.afterReboot = afterReboot;
        EXPECT_EQ(script.ReadScript(dir / "a.ini"), 1);
        const std::vector<std::string> afterRebootOrder = {"[Parameters]",      "[Strings]",
                                                           "[DeleteShortcuts]", "[CreateDirectory]",
                                                           "[DeleteDirectory]", "[DeleteFilesEnd]",
                                                           "[RunFileEnd]"};
        std::vector<std::string> tableOrder;
        for (const ScriptSection& row : kScriptSections) tableOrder.push_back(row.header);
        EXPECT_EQ(probe.sections, afterReboot ? afterRebootOrder : tableOrder);
        EXPECT_TRUE(probe.boxes.boxes.empty());
    }
    // 24 distinct headers, [Parameters] and [Strings] first, the file sections
    // between [RunFileFirst] and [InstallShortcuts], [RunFileEnd] last.
    std::vector<std::string> headers;
    for (const ScriptSection& row : kScriptSections) {
        EXPECT_NE(row.parse, nullptr) << row.header;
        EXPECT_EQ(std::count(headers.begin(), headers.end(), row.header), 0) << row.header;
        headers.push_back(row.header);
    }
    ASSERT_EQ(headers.size(), 24u);
    auto at = [&headers](const char* h) { return std::find(headers.begin(), headers.end(), h) - headers.begin(); };
    EXPECT_EQ(at("[Parameters]"), 0);
    EXPECT_EQ(at("[Strings]"), 1);
    EXPECT_LT(at("[RunFileFirst]"), at("[DeleteFilesFirst]"));
    EXPECT_LT(at("[AlwaysInstallRegisterFiles]"), at("[InstallShortcuts]"));
    EXPECT_EQ(at("[RunFileEnd]"), 23);
}

TEST(ScriptReader, FaultInASectionEndsTheReadingWithMessage168) {
    ScratchDir dir;
    test::WriteFileText(dir / "a.ini", AllHeadersReversed());
    using Fault = ReaderProbe::Fault;
    const std::string outOfMemory = ". " + SystemErrorText(ERROR_NOT_ENOUGH_MEMORY) + "|0";
    const struct {
        const char* header;
        Fault fault;
        bool stopPending;
        std::string box;  // "": no box
    } cases[] = {
        {"[InstallFiles]", Fault::kThrow, false, "|Access violation at reading section of ini file [InstallFiles].|0"},
        {"[RunFileEnd]", Fault::kAccessViolation, false,
         "|Access violation at reading section of ini file [RunFileEnd].|0"},
        {"[InstallFiles]", Fault::kAccessViolation, true, ""},
        // [Parameters] reports its fault even with a Stop pending.
        {"[Parameters]", Fault::kAccessViolation, true, "|Access violation at reading section of ini file [Parameters].|0"},
        {"[Strings]", Fault::kThrow, false, ""},  // [Strings] has no message of its own
        // Running out of memory is said as such, in every section.
        {"[InstallFiles]", Fault::kOutOfMemory, false, "Error|Error reading section of ini file [InstallFiles]" + outOfMemory},
        {"[Strings]", Fault::kOutOfMemory, false, "Error|Error reading section of ini file [Strings]" + outOfMemory},
    };
    for (const auto& c : cases) {
        ReaderProbe probe(c.header, c.fault, c.stopPending);
        InstallScript script(dir.path() + "\\");
        EXPECT_EQ(script.ReadScript(dir / "a.ini"), 0) << c.header;
        EXPECT_EQ(probe.sections.back(), c.header);  // nothing read after it
        EXPECT_EQ(probe.boxes.boxes, c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
    }
}

}  // namespace
}  // namespace dp
