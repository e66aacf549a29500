// The module selection dialog in this process, and the fonts of the
// program's dialogs. What a user does with the dialog is checked by the
// end-to-end scenarios (select_*.scn).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <memory>
#include <vector>

#include "app/driver_win32.h"
#include "base/program_win32.h"
#include "model/install_script.h"
#include "resources/resource_ids.h"
#include "ui/init_window_win32.h"
#include "ui/module_selection_win32.h"
#include "ui/progress_dialog_win32.h"

namespace dp {
namespace {

constexpr char kKey[] = "SOFTWARE\\Velmora\\Deployator";

void ClearPlacement() {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, "Rect");
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, "Columns");
}

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
    ClearPlacement();
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
    for (const std::string& stored : {"Rect40 ,30 ,540 ,330", "Columns80 ,80 ,80 ,80 ,30 ,30 ,30 ,30, 10"}) {
        const std::string name = stored.substr(0, stored.find_first_of("0123456789"));
        std::string data(1024, 'x');
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        RegGetValueA(HKEY_CURRENT_USER, kKey, name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &size);
        data.resize(size);
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
        const std::string text = stored.substr(name.size());
        EXPECT_EQ(data, text + std::string(260 - text.size(), '\0')) << name;
    }
    ClearPlacement();
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
