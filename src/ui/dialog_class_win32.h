#pragma once
// What the program's two class dialogs (progress, module selection) share:
// their window class and the string-table texts of their controls.
#include <windows.h>

namespace dp {

// Registers a window class for a dialog template that names it: the given
// procedure, double-clicks, save-bits and byte-aligned window, the dialog
// window extra bytes, the program's icon, the arrow cursor and system colour
// brush 5. A class still registered from an earlier dialog of the run is
// used as it is; any other failure shows failureMessage with the system's
// text (caption "Error").
void RegisterDialogClass(HINSTANCE instance, const char* name, WNDPROC procedure, int failureMessage);

// Sets a control's text to a string-table message (left as it is when the
// table lacks it).
void SetTextIfLoaded(HWND window, int control, int messageId);

}  // namespace dp
