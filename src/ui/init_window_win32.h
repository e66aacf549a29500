#pragma once
// The initialisation window (dialog 134): shown while the script is read.
#include <windows.h>

namespace dp {

// Dialog procedure: control 1011 shows message 124; Stop (1006) sets
// stopRequested; destruction posts the quit message.
INT_PTR CALLBACK InitDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the window on the calling thread (which must pump its messages)
// and routes ShowProgressLine and PollStop to it. nullptr when it cannot be
// created; the progress operations then do nothing.
HWND CreateInitWindow(HINSTANCE instance);

// Stops routing progress to the window and destroys it. Call after the
// script-reading thread has ended.
void EndInitWindow(HWND window);

}  // namespace dp
