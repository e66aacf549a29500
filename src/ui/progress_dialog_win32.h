#pragma once
// The progress dialog of the install phase: dialog 129 of the window class
// "InstWndClass", served by ProgressWindowProc (the class has no dialog
// procedure).
#include <windows.h>

namespace dp {

constexpr char kProgressClassName[] = "InstWndClass";

// Window procedure of "InstWndClass". Cancel (command 2, also Esc and the
// close box) sets installCancelled, hides the dialog and posts the quit
// message; the dialog itself is destroyed by CloseProgressDialog once the
// install worker has stopped.
LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// From here on the dialog cannot be cancelled (the end phase runs to its end):
// the Cancel button is disabled and Esc and the close box are ignored.
void DisableProgressCancel(HWND window);

}  // namespace dp
