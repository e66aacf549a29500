#pragma once
// The module selection dialog of test-install mode: dialog 130 of the window
// class "TestInstWndClass", served by SelectionWindowProc (the class has no
// dialog procedure). It lists every file item with a check box for its
// `selected` mark; Update stores the marks and asks for the install.
#include <windows.h>

#include <cstdint>


namespace dp {

class InstallScript;

constexpr char kSelectionClassName[] = "TestInstWndClass";

// 0 until Update is pressed, then 1. Written and read on the main thread; the
// driver reads it after the dialog's message loop.
extern int32_t updateRequested;

// Window procedure of "TestInstWndClass".
LRESULT CALLBACK SelectionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One dialog per run, on the main thread: construct, ShowModuleSelection,
// RunSelectionLoop, read updateRequested, destroy.
class ModuleSelectionDialog {
public:
    // Records the script and instance; no window yet; updateRequested 0.
    ModuleSelectionDialog(HINSTANCE instance, InstallScript* script);
    // Destroys a dialog still shown (after Cancel or Enter) and forgets it.
    ~ModuleSelectionDialog();
    ModuleSelectionDialog(const ModuleSelectionDialog&) = delete;
    ModuleSelectionDialog& operator=(const ModuleSelectionDialog&) = delete;

    // Registers the class, creates and shows the dialog at the saved
    // placement (brought onto a monitor when it lies off every screen) and
    // fills the list. 1, or 0 when the dialog could not be created.
    int ShowModuleSelection();
    // Serves the dialog until it is ended (Update) or a quit message arrives
    // (Cancel, Esc, Enter, closing). Returns 1.
    int RunSelectionLoop();

    // The dialog, or nullptr when there is none.
    static HWND window();
};

}  // namespace dp
