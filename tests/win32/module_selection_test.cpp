// The module selection dialog in this process: the placement it reads and
// the texts it saves; and the fonts of the program's dialogs. What a user
// does with the dialog, and where it then opens, is checked by the end-to-end
// scenarios (select_*.scn).
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/driver_win32.h"
#include "items/com/com_registration.h"
#include "model/install_script.h"
#include "resources/resource_ids.h"
#include "test_support.h"
#include "ui/init_window_win32.h"
#include "ui/module_selection_win32.h"
#include "ui/progress_dialog_win32.h"

namespace dp {
namespace {

BOOL CALLBACK CollectChild(HWND child, LPARAM children) {
    reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
    return TRUE;
}

// The static texts of a dialog that do not fit their control, as "text (needs N of M pixels)".
std::vector<std::string> CutLabels(HWND dialog) {
    std::vector<HWND> children;
    EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&children));
    std::vector<std::string> cut;
    for (HWND child : children) {
        char cls[32] = {};
        char text[512] = {};
        GetClassNameA(child, cls, sizeof cls);
        const int length = GetWindowTextA(child, text, sizeof text);
        if (_stricmp(cls, "Static") != 0 || length == 0) continue;
        HDC dc = GetDC(child);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(child, WM_GETFONT, 0, 0)));
        SIZE needed{};
        GetTextExtentPoint32A(dc, text, length, &needed);
        SelectObject(dc, old);
        ReleaseDC(child, dc);
        RECT client{};
        GetClientRect(child, &client);
        if (needed.cx > client.right)
            cut.push_back(std::string(text) + " (needs " + std::to_string(needed.cx) + " of " +
                          std::to_string(client.right) + " pixels)");
    }
    return cut;
}

class ModuleSelection : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(LoadCommonControls(), nullptr); }
};

TEST_F(ModuleSelection, CancelSavesThePlacementAsTextsOf260Bytes) {
    test::RegValueScope rect(HKEY_CURRENT_USER, kProgramKeyPath, "Rect", std::nullopt);
    test::RegValueScope columns(HKEY_CURRENT_USER, kProgramKeyPath, "Columns", std::nullopt);
    InstallScript script(ProgramDirectory());
    script.fileList.items.resize(2);
    ModuleSelectionDialog selection(ProgramInstance(), &script);
    ASSERT_EQ(selection.ShowModuleSelection(), 1);
    HWND dialog = ModuleSelectionDialog::window();
    // Set up once, whether or not a WM_INITDIALOG comes (Windows sends one,
    // Wine does not): one that comes late moves nothing.
    SetWindowPos(dialog, nullptr, 40, 30, 500, 300, SWP_NOZORDER);
    SendMessageA(dialog, WM_INITDIALOG, 0, 0);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(selection.RunSelectionLoop(), 1);  // ends at the quit message
    EXPECT_EQ(updateRequested, 0);
    for (const auto& [name, text] : {std::pair<const char*, std::string>{"Rect", "40 ,30 ,540 ,330"},
                                     {"Columns", "80 ,80 ,80 ,80 ,30 ,30 ,30 ,30, 10"}})
        EXPECT_EQ(test::ReadRegValue(HKEY_CURRENT_USER, kProgramKeyPath, name),
                  (test::RegValue{REG_SZ, text + std::string(260 - text.size(), '\0')}));
}

TEST_F(ModuleSelection, PlacementReadFromTheRegistry) {
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
    for (const auto& c : cases) {
        test::RegValueScope savedRect(HKEY_CURRENT_USER, kProgramKeyPath, "Rect", c.rect);
        test::RegValueScope savedColumns(HKEY_CURRENT_USER, kProgramKeyPath, "Columns", c.columns);
        InstallScript script;
        Rect rect;
        Columns columns;
        std::copy(script.windowRect, script.windowRect + 4, rect.begin());
        std::copy(script.columnWidths, script.columnWidths + 9, columns.begin());
        EXPECT_EQ(rect, c.wantRect) << c.rect.value_or("(none)");
        EXPECT_EQ(columns, c.wantColumns) << c.columns.value_or("(none)");
    }
}

TEST_F(ModuleSelection, DialogLabelsFitTheirControls) {
    InstallScript script(ProgramDirectory());
    ModuleSelectionDialog selection(ProgramInstance(), &script);
    ASSERT_EQ(selection.ShowModuleSelection(), 1);
    EXPECT_EQ(CutLabels(ModuleSelectionDialog::window()), std::vector<std::string>{});

    std::unique_ptr<ProgressDialog> progress = ProgressDialog::Create();
    ASSERT_TRUE(progress);
    EXPECT_EQ(CutLabels(progress->window()), std::vector<std::string>{});

    HWND init = CreateInitWindow(ProgramInstance());
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(CutLabels(init), std::vector<std::string>{});
    EndInitWindow(init);
}

}  // namespace
}  // namespace dp
