#include "ui/progress_dialog_win32.h"

#include <commctrl.h>

#include <utility>

#include "base/message_wait_win32.h"
#include "base/program_win32.h"
#include "base/run_flags.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "base/system_text.h"
#include "resources/message_ids.h"
#include "resources/resource_ids.h"
#include "ui/dialog_class_win32.h"

namespace dp {
namespace {

constexpr UINT kCloseMessage = WM_APP + 1;  // a worker asks the owner thread to destroy it
constexpr LONG_PTR kInitialised = 0x44504931;
constexpr char kNoCancelProperty[] = "DeployatorNoCancel";

// The creation-time texts. Windows sends WM_INITDIALOG to the class's window
// procedure; Wine does not when the dialog has no dialog procedure. It runs
// once, from whichever comes first.
void InitialiseControls(HWND window) {
    if (GetWindowLongPtrA(window, DWLP_USER) == kInitialised) return;
    SetWindowLongPtrA(window, DWLP_USER, kInitialised);
    SetTextIfLoaded(window, IDC_CANCEL_BUTTON, kMsgCancel);
    SetTextIfLoaded(window, IDC_SOURCE_LABEL, kMsgSourceFileLabel);
    SetTextIfLoaded(window, IDC_TARGET_LABEL, kMsgTargetFileLabel);
}

bool OwnedByThisThread(HWND window) {
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

}  // namespace

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitialiseControls(window);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                if (GetPropA(window, kNoCancelProperty)) return 0;
                // The worker sees the flag at its next safe point; the driver
                // waits for it before anything the worker uses goes away.
                installCancelled = 1;
                ShowWindow(window, SW_HIDE);
                PostQuitMessage(1);
                return 0;
            }
            break;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            RemovePropA(window, kNoCancelProperty);
            PostQuitMessage(0);
            return 0;
        case kCloseMessage:
            DestroyWindow(window);
            return 0;
        default:
            break;
    }
    return DefDlgProcA(window, message, wParam, lParam);
}

std::unique_ptr<ProgressDialog> ProgressDialog::Create() {
    HINSTANCE instance = ProgramInstance();
    RegisterDialogClass(instance, kProgressClassName, ProgressWindowProc, kMsgErrorRegistrationOfWindowClass);
    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, nullptr, 0);
    if (!window) {
        // The error first: loading the message text may change it.
        const DWORD error = GetLastError();
        ShowErrorText(error, LoadMessage(kMsgErrorCreatingDialog), kBoxOk);
        return nullptr;
    }
    InitialiseControls(window);
    SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
    SetWindowTextA(window, "Deployator");
    ShowWindow(window, SW_SHOW);
    return std::unique_ptr<ProgressDialog>(new ProgressDialog(window));
}

ProgressDialog::~ProgressDialog() { Close(); }

void ProgressDialog::DisableCancel() {
    if (!window_) return;
    SetPropA(window_, kNoCancelProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
    EnableWindow(GetDlgItem(window_, IDCANCEL), FALSE);
}

void ProgressDialog::ShowSection(const std::string& text) {
    if (window_) SetDlgItemTextA(window_, IDC_SECTION_NAME, text.c_str());
}

void ProgressDialog::ShowPaths(const std::string& sourcePath, const std::string& targetPath) {
    if (!window_) return;
    SetDlgItemTextA(window_, IDC_SOURCE_PATH, sourcePath.c_str());
    SetDlgItemTextA(window_, IDC_TARGET_PATH, targetPath.c_str());
}

void ProgressDialog::SetPosition(int percent) {
    if (window_) SendDlgItemMessageA(window_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void ProgressDialog::Close() {
    HWND window = std::exchange(window_, nullptr);
    if (!window) return;
    if (OwnedByThisThread(window)) {
        DestroyWindow(window);
        DiscardQuitMessage();
    } else {
        // From the install worker: only the owner thread may destroy it.
        SendMessageA(window, kCloseMessage, 0, 0);
    }
    UnregisterClassA(kProgressClassName, ProgramInstance());
}

}  // namespace dp
