#pragma once
// What the install and end phases work on: the progress window and the model.
#include <cstdint>
#include <string>

#include "script/reporting_base.h"

namespace dp {

class InstallScript;

class InstallContext : public ReportingBase {
public:
    // Clears installCancelled. (The driver has stored the instance handle for
    // string loading before any context exists.)
    explicit InstallContext(InstallScript* script);
    ~InstallContext() override;

    // Progress dialog (Windows only).
    int CreateProgressDialog();
    void ShowSectionName(const std::string& text);
    void CloseProgressDialog();
    // Progress bar position (0 to 100) and the current file's paths; nothing
    // when there is no progress window.
    void SetProgressPosition(int position);
    void ShowPaths(const std::string& sourcePath, const std::string& targetPath);

    // The phases (Windows only). The install phase returns 1 when it ran to its
    // end, 0 when it stopped early: the log could not be opened, the disk is
    // full, or installCancelled was set (it is tested between steps and
    // between items, so a cancelled phase ends at the next such point and
    // never leaves a file half-copied by its own doing). The end phase returns
    // 1, or 0 when the log could not be opened.
    int RunInstallPhase();
    int RunEndPhase();
    int RemoveDeletedShortcutFolders();

    void* progressWindow = nullptr;  // HWND of the progress dialog, or none
    InstallScript* script = nullptr;
};

}  // namespace dp
