// What the install phase shows on the progress dialog while it copies and
// deletes: the bar and the current file's paths. The phase runs on the worker
// thread; the dialog belongs to the main thread, which serves these sends
// while it pumps the dialog's messages.
#include <windows.h>
#include <commctrl.h>

#include "engine/install_context.h"
#include "resources/resource_ids.h"

namespace dp {

void InstallContext::SetProgressPosition(int position) {
    if (!progressWindow) return;
    SendDlgItemMessageA(static_cast<HWND>(progressWindow), IDC_PROGRESS_BAR, PBM_SETPOS,
                        static_cast<WPARAM>(position), 0);
}

void InstallContext::ShowPaths(const std::string& sourcePath, const std::string& targetPath) {
    if (!progressWindow) return;
    HWND window = static_cast<HWND>(progressWindow);
    SetDlgItemTextA(window, IDC_SOURCE_PATH, sourcePath.c_str());
    SetDlgItemTextA(window, IDC_TARGET_PATH, targetPath.c_str());
}

}  // namespace dp
