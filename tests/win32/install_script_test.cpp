// The model built from the running system: program directory, relative script
// paths, the saved window placement and the system version.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "base/program_win32.h"
#include "model/install_script.h"

namespace dp {
namespace {

constexpr char kKey[] = "SOFTWARE\\Velmora\\Deployator";

std::optional<std::string> ReadValue(const char* name) {
    char buf[1024] = {};
    DWORD size = sizeof buf;
    if (RegGetValueA(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(buf);
}

void WriteValue(const char* name, const std::optional<std::string>& value) {
    if (value)
        RegSetKeyValueA(HKEY_CURRENT_USER, kKey, name, REG_SZ, value->c_str(), static_cast<DWORD>(value->size() + 1));
    else
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, name);
}

TEST(InstallScriptFromSystem, ProgramDirectoryScriptPathsAndVersion) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string dir(exe);
    dir.erase(dir.find_last_of('\\') + 1);

    InstallScript script;
    EXPECT_EQ(script.programDirectory, dir);
    EXPECT_EQ(script.logPath, dir + "kitup.log");
    EXPECT_EQ(script.osVersion.dwPlatformId, kPlatformNt);
    std::string path;
    ASSERT_EQ(GetScriptPath("-C=\\SUB\\SETUP.INI -T", path), 1);
    EXPECT_EQ(ResolveScriptPath(path, ProgramDirectory()), dir + "SUB\\SETUP.INI");
}

TEST(InstallScriptFromSystem, PlacementFromTheRegistry) {
    using Rect = std::array<int32_t, 4>;
    using Columns = std::array<int32_t, 9>;
    const Rect defaultRect{20, 20, 600, 400};
    const struct {
        std::optional<std::string> rect, columns;
        Rect wantRect;
        Columns wantColumns;
    } cases[] = {
        {std::nullopt, std::nullopt, defaultRect, {80, 80, 80, 80, 30, 30, 30, 30, 30}},
        // A short text changes only what it names.
        {"5,6", "100,90", {5, 6, 600, 400}, {100, 90, 80, 80, 30, 30, 30, 30, 30}},
        // A short "Rect" does not limit the reading of "Columns"; of eleven
        // columns the first nine count.
        {"1,2,3,4", "11,12,13,14,15,16,17,18,19,20,21", {1, 2, 3, 4}, {11, 12, 13, 14, 15, 16, 17, 18, 19}},
        // Longer than the 260-byte buffer: as if missing.
        {"7,7,7,7" + std::string(300, ' '), "9", defaultRect, {9, 80, 80, 80, 30, 30, 30, 30, 30}},
    };
    const auto oldRect = ReadValue("Rect"), oldColumns = ReadValue("Columns");
    for (const auto& c : cases) {
        WriteValue("Rect", c.rect);
        WriteValue("Columns", c.columns);
        InstallScript script;
        Rect rect;
        Columns columns;
        std::copy(script.windowRect, script.windowRect + 4, rect.begin());
        std::copy(script.columnWidths, script.columnWidths + 9, columns.begin());
        EXPECT_EQ(rect, c.wantRect) << c.rect.value_or("(none)");
        EXPECT_EQ(columns, c.wantColumns) << c.columns.value_or("(none)");
    }
    WriteValue("Rect", oldRect);
    WriteValue("Columns", oldColumns);
}

}  // namespace
}  // namespace dp
