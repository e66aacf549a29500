#include "ui/dialog_class_win32.h"

#include <string>

#include "base/system_text.h"
#include "log/error_messages.h"
#include "log/message_box.h"
#include "resources/resource_ids.h"

namespace dp {

void RegisterDialogClass(HINSTANCE instance, const char* name, WNDPROC procedure, int failureMessage) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_DBLCLKS | CS_SAVEBITS | CS_BYTEALIGNWINDOW;  // 0x2808
    windowClass.lpfnWndProc = procedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_DEPLOYATOR));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512) /*IDC_ARROW*/);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(5));
    windowClass.lpszClassName = name;
    if (!RegisterClassA(&windowClass)) {
        const DWORD error = GetLastError();
        if (error != ERROR_CLASS_ALREADY_EXISTS) ShowError(error, failureMessage, kBoxOk);
    }
}

void SetTextIfLoaded(HWND window, int control, int messageId) {
    std::string text = LoadMessage(messageId);
    if (!text.empty()) SetDlgItemTextA(window, control, text.c_str());
}

}  // namespace dp
