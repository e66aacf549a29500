#pragma once
// What the install and end phases work on: the model and what shows the work.
#include <cstdint>
#include <string>

#include "base/reporting_base.h"

namespace dp {

class InstallProgress;
class InstallScript;

class InstallContext : public ReportingBase {
public:
    // Clears installCancelled.
    explicit InstallContext(InstallScript* script);
    ~InstallContext() override;

    // The phases (Windows only). The install phase returns 1 when it ran to its
    // end, 0 when it stopped early: the log could not be opened, the disk is
    // full, or installCancelled was set (it is tested between steps and
    // between items, so a cancelled phase ends at the next such point and
    // never leaves a file half-copied by its own doing). The end phase returns
    // 1, or 0 when the log could not be opened.
    int RunInstallPhase();
    int RunEndPhase();

    // The display of the current section; nothing without a progress display.
    void ShowSectionName(const std::string& text);
    // Ends the progress display (the phase that leaves a file for the reboot
    // does it itself) and forgets it.
    void CloseProgressDialog();

    InstallProgress* progress = nullptr;  // the progress dialog, or none (not owned)
    InstallScript* script = nullptr;
};

}  // namespace dp
