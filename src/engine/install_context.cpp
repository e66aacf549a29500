#include "engine/install_context.h"

#include "base/install_progress.h"
#include "base/run_flags.h"

namespace dp {

InstallContext::InstallContext(InstallScript* script) : script(script) { installCancelled = 0; }

InstallContext::~InstallContext() = default;

void InstallContext::ShowSectionName(const std::string& text) {
    if (progress) progress->ShowSection(text);
}

void InstallContext::CloseProgressDialog() {
    if (progress) progress->Close();
    progress = nullptr;
}

}  // namespace dp
