// The model built from the running system (program directory, saved
// placement, system version) and the fault guard the script reader uses.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/command_line.h"
#include "app/fault_guard_win32.h"
#include "app/program_win32.h"
#include "script/install_script.h"

namespace dp {
namespace {

constexpr char kKey[] = "SOFTWARE\\Velmora\\Deployator";

// Sets (or removes, with nullopt) the placement values for one test and puts
// back what was there before.
class PlacementValues {
public:
    PlacementValues(std::optional<std::string> rect, std::optional<std::string> columns) {
        HKEY key = nullptr;
        keyExisted_ = RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (key) RegCloseKey(key);
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key_, nullptr),
                  ERROR_SUCCESS);
        oldRect_ = Read("Rect");
        oldColumns_ = Read("Columns");
        Write("Rect", rect);
        Write("Columns", columns);
    }
    ~PlacementValues() {
        Write("Rect", oldRect_);
        Write("Columns", oldColumns_);
        RegCloseKey(key_);
        if (!keyExisted_) RegDeleteKeyA(HKEY_CURRENT_USER, kKey);  // fails if others left subkeys
    }

private:
    std::optional<std::string> Read(const char* name) {
        char buffer[1024] = {};
        DWORD size = sizeof buffer - 1;
        if (RegQueryValueExA(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return std::string(buffer);
    }
    void Write(const char* name, const std::optional<std::string>& value) {
        if (value)
            RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                           static_cast<DWORD>(value->size() + 1));
        else
            RegDeleteValueA(key_, name);
    }

    HKEY key_ = nullptr;
    bool keyExisted_ = false;
    std::optional<std::string> oldRect_, oldColumns_;
};

// Wine maps the lowest pages of a 32-bit process, so a null pointer does not
// always fault there; a page reserved without access always does.
int* NoAccessPage() {
    static void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    return static_cast<int*>(page);
}

using Rect = std::array<int32_t, 4>;
using Columns = std::array<int32_t, 9>;

Rect RectOf(const InstallScript& s) {
    return {s.windowRect[0], s.windowRect[1], s.windowRect[2], s.windowRect[3]};
}
Columns ColumnsOf(const InstallScript& s) {
    Columns c;
    for (int i = 0; i < 9; ++i) c[i] = s.columnWidths[i];
    return c;
}

const Rect kDefaultRect{20, 20, 600, 400};
const Columns kDefaultColumns{80, 80, 80, 80, 30, 30, 30, 30, 30};

TEST(InstallScriptFromSystem, ProgramDirectoryVersionAndDefaults) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string dir(exe);
    dir.erase(dir.find_last_of('\\') + 1);

    InstallScript script;
    EXPECT_EQ(script.programDirectory, dir);
    EXPECT_EQ(script.logPath, dir + "kitup.log");
    EXPECT_EQ(script.osVersion.dwOSVersionInfoSize, 156u);
    EXPECT_EQ(script.osVersion.dwPlatformId, kPlatformNt);
    EXPECT_GT(script.osVersion.dwMajorVersion, 0u);
    EXPECT_EQ(script.logLevel, kLogShort);
    EXPECT_EQ(script.logSizeKB, 2048);
    EXPECT_EQ(script.testInstall, 0);
    EXPECT_EQ(script.afterReboot, 0);
    EXPECT_EQ(script.rebootRequired, 0);
    EXPECT_TRUE(script.commandLine.empty());
    ASSERT_TRUE(script.variables);
}

TEST(InstallScriptFromSystem, RelativeScriptPathsUseTheProgramDirectory) {
    const std::string dir = ProgramDirectory();
    ASSERT_EQ(dir.back(), '\\');
    std::string path;
    ASSERT_EQ(GetScriptPath("-C=\\SUB\\SETUP.INI -T", path), 1);
    EXPECT_EQ(ResolveScriptPath(path, dir), dir + "SUB\\SETUP.INI");
    ASSERT_EQ(GetScriptPath("-C=SETUP.INI", path), 1);
    EXPECT_EQ(ResolveScriptPath(path, dir), dir + "SETUP.INI");
}

TEST(InstallScriptFromSystem, PlacementFromTheRegistry) {
    struct Case {
        std::optional<std::string> rect, columns;
        Rect wantRect;
        Columns wantColumns;
    } cases[] = {
        {std::nullopt, std::nullopt, kDefaultRect, kDefaultColumns},
        {"10,20,300,400", std::nullopt, {10, 20, 300, 400}, kDefaultColumns},
        // A short text changes only what it names.
        {"5,6", "100,90", {5, 6, 600, 400}, {100, 90, 80, 80, 30, 30, 30, 30, 30}},
        // A short "Rect" does not limit the reading of "Columns"; eleven
        // columns: the first nine count.
        {"1,2,3,4", "11,12,13,14,15,16,17,18,19,20,21", {1, 2, 3, 4},
         {11, 12, 13, 14, 15, 16, 17, 18, 19}},
        // Longer than the 260-byte buffer: as if missing.
        {"7,7,7,7" + std::string(300, ' '), "9", kDefaultRect,
         {9, 80, 80, 80, 30, 30, 30, 30, 30}},
    };
    for (const Case& c : cases) {
        PlacementValues values(c.rect, c.columns);
        InstallScript script;
        EXPECT_EQ(RectOf(script), c.wantRect) << c.rect.value_or("(none)");
        EXPECT_EQ(ColumnsOf(script), c.wantColumns) << c.columns.value_or("(none)");
    }
}

TEST(FaultGuard, ProcessorFaultsAndExceptionsEndOnlyTheWork) {
    int result = -1;
    EXPECT_EQ(RunGuarded([] { return 7; }, result), GuardOutcome::kCompleted);
    EXPECT_EQ(result, 7);

    // Twice in a row: the guard leaves the handler chain as it found it.
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(RunGuarded(
                      [] {
                          int* volatile nowhere = NoAccessPage();
                          *nowhere = 1;
                          return 1;
                      },
                      result),
                  GuardOutcome::kProcessorFault);
    }
    volatile int zero = 0;
    EXPECT_EQ(RunGuarded([&] { return 10 / zero; }, result), GuardOutcome::kProcessorFault);
    EXPECT_EQ(RunGuarded([]() -> int { throw std::bad_alloc(); }, result),
              GuardOutcome::kCxxException);

    // Nested: the inner guard takes the fault, the outer work goes on.
    int inner = -1;
    EXPECT_EQ(RunGuarded(
                  [&] {
                      int ignored = 0;
                      inner = static_cast<int>(RunGuarded(
                          [] {
                              int* volatile nowhere = NoAccessPage();
                              return *nowhere;
                          },
                          ignored));
                      return 3;
                  },
                  result),
              GuardOutcome::kCompleted);
    EXPECT_EQ(inner, static_cast<int>(GuardOutcome::kProcessorFault));
    EXPECT_EQ(result, 3);

    // A C++ exception outside any guard still reaches its handler.
    EXPECT_THROW(throw std::runtime_error("after"), std::runtime_error);
}

}  // namespace
}  // namespace dp
