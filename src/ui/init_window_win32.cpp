#include "ui/init_window_win32.h"

#include <commctrl.h>

#include "base/message_wait_win32.h"
#include "base/run_flags.h"
#include "base/system_text.h"
#include "resources/message_ids.h"
#include "resources/resource_ids.h"
#include "base/reporting_base.h"
#include "ui/init_progress.h"

namespace dp {
namespace {

// The window seen from the script-reading thread: every change is a message
// sent to the window, which the main thread serves while it waits.
class InitWindowControls : public InitWindowView {
public:
    explicit InitWindowControls(HWND window) : window_(window) {}
    void SetSectionLine(const std::string& text) override {
        SetDlgItemTextA(window_, IDC_INIT_SECTION, text.c_str());
    }
    void SetItemLine(const std::string& text) override {
        SetDlgItemTextA(window_, IDC_INIT_ITEM, text.c_str());
    }
    int BarPosition() override {
        return static_cast<int>(SendDlgItemMessageA(window_, IDC_INIT_PROGRESS, PBM_GETPOS, 0, 0));
    }
    void SetBarPosition(int position) override {
        SendDlgItemMessageA(window_, IDC_INIT_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
    void Pause(int milliseconds) override { Sleep(static_cast<DWORD>(milliseconds)); }

private:
    HWND window_;
};

class InitWindowSink : public ProgressSink {
public:
    explicit InitWindowSink(HWND window) : view_(window) {}
    void ShowProgressLine(const std::string& text, int kind) override {
        std::string line = ComposeProgressLine(text, kind);
        if (kind == 1) view_.SetSectionLine(line);
        else view_.SetItemLine(line);
    }
    void PollStop(int done, int total, int32_t& stop) override { PollStopOn(view_, done, total, stop); }

private:
    InitWindowControls view_;
};

InitWindowSink* g_sink = nullptr;  // main thread only

}  // namespace

INT_PTR CALLBACK InitDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            std::string text = LoadMessage(kMsgInitializing);
            if (!text.empty()) SetDlgItemTextA(window, IDC_INIT_TITLE, text.c_str());
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_INIT_STOP) {
                stopRequested = 1;
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            PostQuitMessage(0);
            return FALSE;
        default:
            return FALSE;
    }
}

HWND CreateInitWindow(HINSTANCE instance) {
    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_INITIALIZING), nullptr,
                                     InitDialogProc, 0);
    if (!window) return nullptr;
    g_sink = new InitWindowSink(window);
    SetProgressSink(g_sink);
    return window;
}

void EndInitWindow(HWND window) {
    SetProgressSink(nullptr);
    delete g_sink;
    g_sink = nullptr;
    if (window) DestroyWindow(window);
    // The window's quit message only ends its own wait; it must not end the
    // next message box or dialog of this thread.
    DiscardQuitMessage();
}

}  // namespace dp
