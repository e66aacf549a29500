#pragma once
// What the install and end phases work on: the progress window and the model.
#include <cstdint>
#include <string>

#include "script/reporting_base.h"

namespace dp {

class InstallScript;

class InstallContext : public ReportingBase {
public:
    // Stores the instance handle for string loading and clears installCancelled.
    explicit InstallContext(InstallScript* script);
    ~InstallContext() override;

    // Progress dialog (Windows only).
    int CreateProgressDialog();
    void ShowSectionName(const std::string& text);
    void CloseProgressDialog();

    // The phases (Windows only).
    int RunInstallPhase();
    int RunEndPhase();
    int RemoveDeletedShortcutFolders();

    void* progressWindow = nullptr;  // HWND of the progress dialog, or none
    InstallScript* script = nullptr;
};

}  // namespace dp
