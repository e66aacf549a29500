#include "ui/module_selection_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "base/handles_win32.h"
#include "base/registry_win32.h"
#include "base/message_wait_win32.h"
#include "items/com/com_registration.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "model/install_script.h"
#include "base/system_text.h"
#include "resources/message_ids.h"
#include "resources/resource_ids.h"
#include "script/placement_text.h"
#include "ui/dialog_class_win32.h"
#include "ui/selection_layout.h"

namespace dp {

int32_t updateRequested = 0;

namespace {

constexpr LONG_PTR kInitialised = 0x44505331;
constexpr UINT kUncheckedImage = 1;
constexpr UINT kCheckedImage = 2;

// The list control of the dialog; row i is file item i, its check box the
// item's `selected` mark, its texts asked for by the list when it draws.
class ModuleListView {
public:
    ModuleListView(HWND list, InstallScript* script) : list_(list), script_(script) {}
    virtual ~ModuleListView() = default;

    void AddColumns();
    void AddRows();
    void SetAllChecks(bool checked) { SetCheck(-1, checked); }  // -1: every row
    void FillCellText(NMLVDISPINFOA& info);
    void ReadChecks();
    int ColumnWidth(int column) const {
        return static_cast<int>(SendMessageA(list_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    }

private:
    void SetCheck(int row, bool checked) {
        LVITEMA state{};
        state.stateMask = LVIS_STATEIMAGEMASK;
        state.state = INDEXTOSTATEIMAGEMASK(checked ? kCheckedImage : kUncheckedImage);
        SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    }

    HWND list_;
    InstallScript* script_;
    int pathsShown_ = -1;  // the row whose paths the two edits show
};

void ModuleListView::AddColumns() {
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    for (size_t i = 0; i < kSelectionColumns.size(); ++i) {
        std::string heading = LoadMessage(kSelectionColumns[i].headingId);
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = kSelectionColumns[i].alignRight ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = script_->columnWidths[i];
        column.pszText = heading.data();
        column.iSubItem = static_cast<int>(i);
        if (SendMessageA(list_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) == -1) return;
    }
}

void ModuleListView::AddRows() {
    const std::vector<FileItem>& items = script_->fileList.items;
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list_, LVM_SETITEMCOUNT, items.size(), 0);
    for (size_t i = 0; i < items.size(); ++i) {
        LVITEMA row{};
        row.mask = LVIF_TEXT;
        row.iItem = static_cast<int>(i);
        row.pszText = LPSTR_TEXTCALLBACKA;
        // Rows must stay item numbers: after a failed insert nothing follows.
        if (SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)) != static_cast<LRESULT>(i))
            break;
        SetCheck(static_cast<int>(i), items[i].selected != 0);
    }
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
}

void ModuleListView::FillCellText(NMLVDISPINFOA& info) {
    const std::vector<FileItem>& items = script_->fileList.items;
    const int row = info.item.iItem;
    if (row < 0 || static_cast<size_t>(row) >= items.size()) return;
    const FileItem& item = items[static_cast<size_t>(row)];
    if (row != pathsShown_ && (SendMessageA(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_FOCUSED) & LVIS_FOCUSED)) {
        HWND dialog = GetParent(list_);
        SetDlgItemTextA(dialog, IDC_SOURCE_PATH, item.sourcePath.c_str());
        SetDlgItemTextA(dialog, IDC_TARGET_PATH, item.targetPath.c_str());
        pathsShown_ = row;
    }
    if ((info.item.mask & LVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0)
        lstrcpynA(info.item.pszText, SelectionCellText(item, info.item.iSubItem).c_str(), info.item.cchTextMax);
}

void ModuleListView::ReadChecks() {
    std::vector<FileItem>& items = script_->fileList.items;
    const size_t rows = static_cast<size_t>(std::max<LRESULT>(0, SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)));
    for (size_t i = 0; i < rows && i < items.size(); ++i) {
        const UINT image = static_cast<UINT>(SendMessageA(list_, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK) &
                                             LVIS_STATEIMAGEMASK) >> 12;
        items[i].selected = image != kUncheckedImage ? 1 : 0;
    }
}

// The dialog's state: one dialog per run, on the main thread.
struct SelectionState {
    InstallScript* script = nullptr;
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    std::unique_ptr<ModuleListView> list;
};
SelectionState state;

int Span(int32_t from, int32_t to) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{to} - from, INT_MIN, INT_MAX));
}

void LayoutSelectionDialog(HWND window, int width, int height) {
    for (const ControlPlacement& place : LayoutSelectionControls(width, height)) {
        HWND control = GetDlgItem(window, place.id);
        if (!control) continue;
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (!place.moves) flags |= SWP_NOMOVE;
        if (!place.resizes) flags |= SWP_NOSIZE;
        SetWindowPos(control, nullptr, place.x, place.y, place.width, place.height, flags);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void SetControlTexts(HWND window) {
    SetTextIfLoaded(window, IDC_CANCEL_BUTTON, kMsgCancel);
    SetTextIfLoaded(window, IDC_SOURCE_LABEL, kMsgSourceFileLabel);
    SetTextIfLoaded(window, IDC_TARGET_LABEL, kMsgTargetFileLabel);
    SetTextIfLoaded(window, IDC_MARK_ALL, kMsgMarkAll);
    SetTextIfLoaded(window, IDC_UNMARK_ALL, kMsgUnmarkAll);
}

void MoveToSavedRect(HWND window) {
    if (!state.script) return;
    const int32_t(&r)[4] = state.script->windowRect;
    MoveWindow(window, r[0], r[1], Span(r[0], r[2]), Span(r[1], r[3]), TRUE);
}

// The creation-time work. Windows sends WM_INITDIALOG to the class's window
// procedure; Wine does not when the dialog has no dialog procedure, and shows
// the dialog (WS_VISIBLE) before CreateDialogParamA returns. It runs once,
// from whichever comes first: WM_INITDIALOG, the first show, or the return.
void InitialiseSelection(HWND window) {
    if (GetWindowLongPtrA(window, DWLP_USER) == kInitialised) return;
    SetWindowLongPtrA(window, DWLP_USER, kInitialised);
    SetControlTexts(window);
    MoveToSavedRect(window);
    state.window = window;
    if (state.script) {
        const int32_t(&r)[4] = state.script->windowRect;
        LayoutSelectionDialog(window, Span(r[0], r[2]), Span(r[1], r[3]));
    }
}

void OnShow(HWND window) {
    InitialiseSelection(window);
    SetControlTexts(window);
    MoveToSavedRect(window);
    RECT actual{};
    GetWindowRect(window, &actual);
    LayoutSelectionDialog(window, actual.right - actual.left, actual.bottom - actual.top);
}

void WritePlacementValue(HKEY key, const char* name, std::string text) {
    text.resize(std::max(text.size() + 1, kPlacementDataSize), '\0');
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                   static_cast<DWORD>(text.size()));
}

void SaveSelectionPlacement(HWND window) {
    InstallScript& script = *state.script;
    RECT rect{};
    // A minimized dialog's rectangle is not where it opens again.
    if (!IsIconic(window) && GetWindowRect(window, &rect)) {
        script.windowRect[0] = rect.left;
        script.windowRect[1] = rect.top;
        script.windowRect[2] = rect.right;
        script.windowRect[3] = rect.bottom;
    }
    for (int i = 0; i < 9; ++i) script.columnWidths[i] = StoredColumnWidth(state.list ? state.list->ColumnWidth(i) : 0);

    UniqueKey user;
    LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, nullptr, 0, KEY_WRITE, user.put());
    if (result != ERROR_SUCCESS) {
        ShowErrorDetail(static_cast<uint32_t>(result), kMsgErrorOpeningKeyOfRegistry, "HKEY_CURRENT_USER", kBoxOk);
        return;
    }
    UniqueKey settings;
    if (const Status status = CreateAndOpenKey(user.get(), kProgramKeyPath, KEY_WRITE, settings); !status.ok()) {
        ShowErrorDetail(status.code(), kMsgErrorOpeningKeyOfRegistry,
                        std::string("HKEY_CURRENT_USER\\") + kProgramKeyPath, kBoxOk);
        return;
    }
    WritePlacementValue(settings.get(), "Rect", FormatRectText(script.windowRect));
    WritePlacementValue(settings.get(), "Columns", FormatColumnsText(script.columnWidths));
}

// Ends the dialog after Update: destroys it (which posts a quit message),
// unregisters the class and forgets the window.
void CloseModuleSelection() {
    if (state.window) DestroyWindow(state.window);
    UnregisterClassA(kSelectionClassName, state.instance);
    state.window = nullptr;
    state.list.reset();
}

BOOL CALLBACK CollectWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM areas) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info))
        reinterpret_cast<std::vector<ScreenRect>*>(areas)->push_back(
            {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom});
    return TRUE;
}

// A saved placement on a monitor that is gone (or beyond a changed
// resolution) is brought onto the nearest one.
void BringPlacementOnScreen(InstallScript& script) {
    std::vector<ScreenRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, CollectWorkArea, reinterpret_cast<LPARAM>(&areas));
    int32_t(&r)[4] = script.windowRect;
    const ScreenRect placed = PlaceOnScreen({r[0], r[1], r[2], r[3]}, areas);
    r[0] = placed.left;
    r[1] = placed.top;
    r[2] = placed.right;
    r[3] = placed.bottom;
}

void OnCommand(HWND window, int id) {
    switch (id) {
        case IDC_MARK_ALL:
        case IDC_UNMARK_ALL:
            if (state.list) state.list->SetAllChecks(id == IDC_MARK_ALL);
            return;
        case IDC_UPDATE:
            SaveSelectionPlacement(window);
            if (state.list) state.list->ReadChecks();
            CloseModuleSelection();
            updateRequested = 1;
            return;
        case IDCANCEL:
            SaveSelectionPlacement(window);
            PostQuitMessage(1);
            return;
        case IDOK:  // Enter: the dialog has no default button
            PostQuitMessage(0);
            return;
        default:
            return;
    }
}

}  // namespace

LRESULT CALLBACK SelectionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitialiseSelection(window);
            return TRUE;
        case WM_SHOWWINDOW:
            if (wParam) OnShow(window);
            break;
        case WM_SIZING:
            if (state.window) {
                const RECT& dragged = *reinterpret_cast<const RECT*>(lParam);
                LayoutSelectionDialog(window, dragged.right - dragged.left, dragged.bottom - dragged.top);
            }
            return TRUE;
        case WM_GETMINMAXINFO: {
            auto& info = *reinterpret_cast<MINMAXINFO*>(lParam);
            info.ptMinTrackSize.x = kMinSelectionWidth;
            info.ptMinTrackSize.y = kMinSelectionHeight;
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_NOTIFY: {
            auto& header = *reinterpret_cast<NMHDR*>(lParam);
            if (header.idFrom == IDC_MODULE_LIST && header.code == LVN_GETDISPINFOA && state.list)
                state.list->FillCellText(*reinterpret_cast<NMLVDISPINFOA*>(lParam));
            return 0;
        }
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam));
            return 0;
        case WM_CLOSE:
            // The close box and Alt+F4 end the dialog like its destruction:
            // nothing saved, nothing installed (not a Cancel).
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            if (state.window == window) {
                state.window = nullptr;
                state.list.reset();
            }
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefDlgProcA(window, message, wParam, lParam);
}

ModuleSelectionDialog::ModuleSelectionDialog(HINSTANCE instance, InstallScript* script) {
    state.script = script;
    state.instance = instance;
    state.window = nullptr;
    updateRequested = 0;
}

ModuleSelectionDialog::~ModuleSelectionDialog() {
    if (HWND window = state.window) {
        DestroyWindow(window);
        DiscardQuitMessage();
    }
    UnregisterClassA(kSelectionClassName, state.instance);
    state.window = nullptr;
    state.list.reset();
    state.script = nullptr;
}

HWND ModuleSelectionDialog::window() { return state.window; }

int ModuleSelectionDialog::ShowModuleSelection() {
    if (!state.script) return 0;
    BringPlacementOnScreen(*state.script);
    RegisterDialogClass(state.instance, kSelectionClassName, SelectionWindowProc, kMsgErrorRegisterWindowClass);
    HWND window = CreateDialogParamA(state.instance, MAKEINTRESOURCEA(IDD_MODULE_SELECTION), nullptr, nullptr, 0);
    if (!window) return 0;
    InitialiseSelection(window);
    SetWindowTextA(window, "Deployator");
    HWND list = GetDlgItem(window, IDC_MODULE_LIST);
    state.list = std::make_unique<ModuleListView>(list, state.script);
    state.list->AddColumns();
    state.list->AddRows();
    ShowWindow(window, SW_SHOW);
    // The list takes the keys: arrows move between rows, space ticks.
    SetFocus(list);
    return 1;
}

int ModuleSelectionDialog::RunSelectionLoop() {
    MSG msg;
    while (state.window) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (state.window && IsDialogMessageA(state.window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // A dialog ended by Update has posted a quit message while being
    // destroyed: it must not end the install's first message box.
    DiscardQuitMessage();
    return 1;
}

}  // namespace dp
